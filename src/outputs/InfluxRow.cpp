// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfluxRow.h"

namespace {

// Tag keys and values escape commas, equals signs and spaces.
QByteArray tagText(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == ',' || c == '=' || c == ' ' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

void addTag(QByteArray &line, const char *key, const QString &value)
{
    if (value.isEmpty())
        return; // an empty tag value is not allowed
    line += ',';
    line += key;
    line += '=';
    line += tagText(value);
}

void addField(QByteArray &line, bool &first, const char *key, const QByteArray &value)
{
    if (value.isEmpty())
        return;
    line += first ? ' ' : ',';
    first = false;
    line += key;
    line += '=';
    line += value;
}

} // namespace

QByteArray influxRow(const RowFields &f, const QString &instrument)
{
    QByteArray line = "breezon";
    addTag(line, "instrument", instrument);
    addTag(line, "mode", f.mode);
    addTag(line, "unit", f.unit);
    addTag(line, "temperature_unit", f.temperatureUnit);
    addTag(line, "marker", f.marker);
    addTag(line, "hold", f.hold);
    bool first = true;
    addField(line, first, "speed", f.speed.toLatin1());
    addField(line, first, "rh", f.rh.toLatin1());
    addField(line, first, "temperature", f.temperature.toLatin1());
    addField(line, first, "value", f.value.toLatin1());
    addField(line, first, "area", f.area.toLatin1());
    addField(line, first, "seq", QByteArray::number(f.seq) + 'i');
    line += ' ';
    line += QByteArray::number(qint64(f.unixMs) * 1000000);
    return line;
}
