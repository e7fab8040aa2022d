// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfluxRow.h"

namespace {

void addTag(QByteArray &line, const char *key, const QString &value)
{
    if (value.isEmpty())
        return; // an empty tag value is not allowed
    line += ',';
    line += key;
    line += '=';
    line += influxTag(value);
}

void addField(QByteArray &line, bool &first, const char *key, const QString &value)
{
    if (value.isEmpty())
        return;
    line += first ? ' ' : ',';
    first = false;
    line += key;
    line += '=';
    line += value.toLatin1();
}

} // namespace

QByteArray influxTag(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == ',' || c == '=' || c == ' ')
            out += '\\';
        out += c;
    }
    return out;
}

QByteArray influxRow(const RowFields &f, const QString &instrument, const QString &host)
{
    QByteArray line = "breezon";
    addTag(line, "instrument", instrument);
    addTag(line, "host", host);
    addTag(line, "mode", f.mode);
    addTag(line, "unit", f.unit);
    addTag(line, "temperature_unit", f.temperatureUnit);
    addTag(line, "marker", f.marker);
    addTag(line, "hold", f.hold);
    bool first = true;
    addField(line, first, "speed", f.speed);
    addField(line, first, "rh", f.rh);
    addField(line, first, "temperature", f.temperature);
    addField(line, first, "value", f.value);
    addField(line, first, "area", f.area);
    addField(line, first, "temperature_c", f.temperatureC);
    addField(line, first, "flow_m3_h", f.flowM3h);
    addField(line, first, "seq", QString::number(f.seq) + QLatin1Char('i'));
    line += ' ';
    line += QByteArray::number(qint64(f.unixMs) * 1000000);
    return line;
}
