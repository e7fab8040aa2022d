// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonRow.h"

namespace {

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

class Writer {
public:
    Writer() { out_.reserve(320); }
    Writer &text(const char *key, const QString &value)
    {
        name(key);
        if (value.isEmpty())
            out_ += "null";
        else
            appendString(out_, value);
        return *this;
    }
    Writer &number(const char *key, const QString &value)
    {
        name(key);
        out_ += value.isEmpty() ? QByteArray("null") : value.toLatin1();
        return *this;
    }
    QByteArray done() { return out_ + '}'; }

private:
    void name(const char *key)
    {
        out_ += out_.isEmpty() ? "{\"" : ",\"";
        out_ += key;
        out_ += "\":";
    }
    QByteArray out_;
};

} // namespace

QByteArray jsonRow(const RowFields &f, const QString &instrument, const QString &host)
{
    return Writer()
        .text("instrument", instrument)
        .text("host", host)
        .number("seq", QString::number(f.seq))
        .text("time", f.time)
        .number("unix_ms", QString::number(f.unixMs))
        .text("mode", f.mode)
        .number("value", f.value)
        .text("unit", f.unit)
        .number("rh", f.rh)
        .number("temperature", f.temperature)
        .text("temperature_unit", f.temperatureUnit)
        .text("marker", f.marker)
        .text("hold", f.hold)
        .number("speed", f.speed)
        .number("area", f.area)
        .number("temperature_c", f.temperatureC)
        .number("flow_m3_h", f.flowM3h)
        .text("frame", f.frame)
        .done();
}
