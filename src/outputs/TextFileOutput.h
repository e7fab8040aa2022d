// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --txt: the text file growing by one line per row, each line as Save TXT
// writes it (UTF-16LE, fixed width) and synced to the disk as it is added.
// An existing file is continued.

#include "LiveFileOutput.h"

class TextFileOutput : public LiveFileOutput {
public:
    explicit TextFileOutput(QString path) : LiveFileOutput(std::move(path)) {}
    QString name() const override { return QStringLiteral("text file %1").arg(path_); }

protected:
    QByteArray record(const RowRecord &row) const override;
    QByteArray lineEnd() const override;
};
