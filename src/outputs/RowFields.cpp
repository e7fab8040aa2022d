// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowFields.h"

#include "DisplayText.h"

RowFields rowFields(const RowRecord &row)
{
    const ReadingRow &r = row.reading;
    RowFields f;
    f.seq = row.seq;
    f.unixMs = row.time.unixMs;
    f.time = row.time.isoText();
    f.mode = r.mode == quantity::windSpeed ? QStringLiteral("speed")
             : r.mode == quantity::airFlow ? QStringLiteral("flow")
                                           : QStringLiteral("none");
    f.value = valueText(r.mode, r.unit, r.value);
    f.unit = unitName(r.mode, r.unit);
    f.rh = humidityText(r.humidity);
    f.temperature = temperatureText(r.temperature, r.fahrenheit == 1);
    f.temperatureUnit = r.fahrenheit == 1 ? QStringLiteral("F") : QStringLiteral("C");
    f.marker = dewWetText(r.dewWet);
    f.hold = holdText(r.hold).toLower();
    f.speed = QString::number(r.speed / 100.0, 'f', 2);
    f.area = QString::number(areaValue(r.area), 'f', 3);
    f.frame = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(row.frame.bytes.data()),
                                             qsizetype(row.frame.bytes.size()))
                                      .toHex());
    return f;
}
