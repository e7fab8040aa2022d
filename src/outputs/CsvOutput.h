// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --csv: comma-separated UTF-8, one record per row (its full timestamp
// first) synced to the disk as it is added. A new file gets the header
// record; an existing one is continued when it is one this output wrote:
// the same header, records of its shape, CR LF after each.

#include "LiveFileOutput.h"

class CsvOutput : public LiveFileOutput {
public:
    explicit CsvOutput(QString path) : LiveFileOutput(std::move(path)) {}
    QString name() const override { return QStringLiteral("CSV file %1").arg(path_); }

protected:
    QByteArray record(const RowRecord &row) const override;
    QByteArray lineEnd() const override { return QByteArrayLiteral("\r\n"); }
    QString whyNotOurs(const LiveFile::Existing &existing) const override;
    ExportResult prepare() override;
};
