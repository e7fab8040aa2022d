// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The spreadsheet export: every row of the reading list into a worksheet
// "KQ-VANE" of a new workbook, saved under the path given. A list longer
// than a sheet goes on in "KQ-VANE 2", "KQ-VANE 3", ..., each with the
// header row. The save dialog, the ".xls" suffix and pausing acquisition
// are the window's.

#include "ExportResult.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class ReadingListModel;

struct SpreadsheetHooks {
    // Progress and completion texts, for status pane 0.
    std::function<void(const QString &text)> status;
    // Message boxes of the spreadsheet link ("EXCEL init error!",
    // "SetItem error"), shown with the error icon.
    std::function<void(const QString &text)> message;
};

// The most list rows one worksheet takes below its header row.
inline constexpr int kMaxSpreadsheetRows = 1048575;

struct SpreadsheetLayout {
    // Column I "Timestamp": each row's local time as a date-time cell, and
    // column J "UTC offset" its offset as text ("+01:00"), so every row is
    // unambiguous across a clock change (the recorder's file; the window's
    // keeps A to H).
    bool timestamps = false;
    int rowsPerSheet = kMaxSpreadsheetRows; // smaller in tests
};

// Writes the sheet and saves it. On failure the reason comes back and no
// success text is shown; when a message box has already told the user (the
// application could not be started) `reported` is set and the reason is
// left empty.
ExportResult exportSpreadsheet(const ReadingListModel &rows, const QString &path, const SpreadsheetHooks &hooks,
                               const SpreadsheetLayout &layout = {});

// The list rows a workbook that breezon wrote holds (its "KQ-VANE" sheets,
// header rows not counted); none when the file at `path` is not such a
// workbook (another program's, damaged, or not a workbook at all). Without
// `count`, only whether it is one is looked at (quickly: its sheets are not
// read), and 0 stands for any count.
std::optional<std::int64_t> workbookRows(const QString &path, bool count = true);
