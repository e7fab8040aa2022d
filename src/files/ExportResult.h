// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The outcome of writing a file: ok, or the reason in plain words.
struct ExportResult {
    bool ok = true;
    QString error;         // e.g. "No space left on device"; empty when `reported`
    bool reported = false; // the user has been told already (a message box was shown)

    static ExportResult success() { return {}; }
    static ExportResult failure(QString why) { return {false, std::move(why), false}; }
};
