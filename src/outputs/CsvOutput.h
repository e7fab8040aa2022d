// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --csv: comma-separated UTF-8, one record per row (its full timestamp
// first) synced to the disk as it is added. A new file gets the header
// record; an existing one is continued when its header is the same.

#include "LiveFileOutput.h"

class CsvOutput : public LiveFileOutput {
public:
    explicit CsvOutput(QString path) : LiveFileOutput(std::move(path)) {}
    QString name() const override { return QStringLiteral("CSV file %1").arg(path_); }

protected:
    QByteArray record(const RowRecord &row) const override;
    QByteArray lineEnd() const override { return QByteArrayLiteral("\r\n"); }
    ExportResult prepare() override;
};
