// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExport.h"

namespace {
// The list's headers of the unit and marker columns are blank; a CSV reader
// deserves names. The full timestamp comes first, so the file sorts by it.
const char *const kHeader[] = {"Timestamp", "No.", "Time", "Value", "Unit", "%RH", "Marker", "Temp", "Temp unit"};

} // namespace

QByteArray csvRecordOf(const QStringList &fields)
{
    QString line;
    line.reserve(128); // a row's usual length: no growing on the way
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            line += QLatin1Char(',');
        line += csvField(fields[i]);
    }
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

QString csvField(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quote)
        return text;
    QString q = text;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QByteArray csvHeader()
{
    QStringList fields;
    for (const char *h : kHeader)
        fields << QString::fromLatin1(h);
    return csvRecordOf(fields);
}
