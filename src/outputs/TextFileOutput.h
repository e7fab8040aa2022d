// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --txt: the text file growing by one line per row, each line as Save TXT
// writes it (UTF-16LE, fixed width) and synced to the disk as it is added.
// An existing file is continued when it is one this output wrote: UTF-16
// lines that begin with their row's number and end in CR LF.

#include "LiveFileOutput.h"

class TextFileOutput : public LiveFileOutput {
public:
    explicit TextFileOutput(QString path) : LiveFileOutput(std::move(path)) {}
    QString name() const override { return QStringLiteral("text file %1").arg(path_); }

protected:
    QByteArray record(const RowRecord &row) const override;
    QByteArray lineEnd() const override;
    QString whyNotOurs(const LiveFile::Existing &existing) const override;
};
