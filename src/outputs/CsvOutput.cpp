// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvOutput.h"

#include "CsvExport.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// Fields in a record, commas between quotes not counted.
int fieldCount(const QByteArray &record)
{
    int fields = 1;
    bool quoted = false;
    for (const char c : record) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++fields;
    }
    return fields;
}

} // namespace

QString CsvOutput::whyNotOurs(const LiveFile::Existing &e) const
{
    const QByteArray header = csvHeader();
    const QString notOurs = QStringLiteral("it is not a CSV file breezon wrote; give a new file name");
    if (e.head.isEmpty() && header.startsWith(e.torn)) // a start cut short
        return {};
    const QByteArray &start = e.head.isEmpty() ? e.torn : e.head;
    QByteArray first = start.left(start.indexOf('\n'));
    if (first.endsWith('\r'))
        first.chop(1);
    if (first + "\r\n" != header) {
        // Rows under another header would be read into the wrong columns.
        const bool text = std::none_of(first.begin(), first.end(), [](char c) { return uchar(c) < 0x20 && c != '\t'; });
        return text && first.contains(',')
                   ? QStringLiteral("it holds other columns than this version writes; give a new file name")
                   : notOurs;
    }
    // Every CR and LF is one of a CR LF; a line cut short holds neither
    // (but may end in the CR of its line end).
    const auto bare = [](const QByteArray &b) {
        const qsizetype pairs = b.count("\r\n");
        return b.count('\r') != pairs || b.count('\n') != pairs;
    };
    const QByteArray torn = e.torn.endsWith('\r') ? e.torn.chopped(1) : e.torn;
    if (e.head.isEmpty() || bare(e.head) || bare(e.tail) || torn.contains('\r') || torn.contains('\n'))
        return QStringLiteral("its lines do not end in CR LF, as breezon's CSV lines do; give a new file name");
    const QByteArray whole = e.head + e.tail;
    if (QStringDecoder utf8(QStringDecoder::Utf8); (void(utf8.decode(whole)), utf8.hasError()))
        return notOurs;
    const int columns = fieldCount(header);
    for (const QByteArray &record : whole.split('\n')) {
        const QByteArray r = record.chopped(record.endsWith('\r') ? 1 : 0);
        if (!r.isEmpty() && r + "\r\n" != header && (fieldCount(r) != columns || r[0] < '0' || r[0] > '9'))
            return notOurs;
    }
    return {};
}

ExportResult CsvOutput::prepare()
{
    if (file_.sizeAtOpen() == 0)
        return file_.append(csvHeader()) ? ExportResult::success() : ExportResult::failure(file_.error());
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
