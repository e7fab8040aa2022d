// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvOutput.h"

#include "CsvExport.h"

#include <QFile>

ExportResult CsvOutput::prepare()
{
    const QByteArray header = csvHeader();
    if (file_.sizeAtOpen() == 0)
        return file_.append(header) ? ExportResult::success() : ExportResult::failure(file_.error());
    // Rows under another header would be read into the wrong columns.
    QFile old(path_);
    if (old.open(QIODevice::ReadOnly) && old.read(header.size()) != header)
        return ExportResult::failure(
            QStringLiteral("it holds other columns than this version writes; give a new file name"));
    return ExportResult::success();
}

QByteArray CsvOutput::record(const RowRecord &row) const
{
    QStringList fields;
    fields.reserve(1 + ReadingListModel::kColumns);
    fields << row.time.isoText();
    for (QString &cell : cellsOf(row))
        fields << std::move(cell);
    return csvRecordOf(fields);
}
