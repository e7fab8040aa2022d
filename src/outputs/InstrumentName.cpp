// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstrumentName.h"

#include <QFileInfo>

namespace {

bool isControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }

// InfluxDB 1.x reads a backslash before these, or at the end, as an escape.
bool escapedAfterBackslash(const QString &text, qsizetype i)
{
    return i + 1 == text.size() || text[i + 1] == QLatin1Char(' ') || text[i + 1] == QLatin1Char(',') ||
           text[i + 1] == QLatin1Char('=');
}

QString carried(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isControl(text[i]) || (text[i] == QLatin1Char('\\') && escapedAfterBackslash(text, i)))
            text[i] = QLatin1Char('_');
    while (text.toUtf8().size() > kMostNameBytes || (!text.isEmpty() && text.back().isHighSurrogate()))
        text.chop(1);
    return text;
}

} // namespace

QString instrumentName(const QString &port)
{
    const QString name = QFileInfo(port).fileName();
    return name.isEmpty() ? QStringLiteral("demo") : name;
}

QString carriedHostName(const QString &hostName)
{
    const QString host = carried(hostName);
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

QString defaultInstrumentName(const QString &hostName, const QString &port)
{
    return carried(carriedHostName(hostName) + QLatin1Char('-') + instrumentName(port));
}

QString nameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("--name needs a name");
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isControl(name[i]))
            // Not shown: a line break would split the message too.
            return QStringLiteral("the name given holds a control character (code %1, a line break or tab) at "
                                  "position %2; no output can carry it")
                .arg(name[i].unicode())
                .arg(i + 1);
        if (name[i] == QLatin1Char('\\') && escapedAfterBackslash(name, i))
            return QStringLiteral("the name '%1' has a backslash at its end or before a space, comma or equals "
                                  "sign, which InfluxDB takes for an escape")
                .arg(name);
    }
    if (name.toUtf8().size() > kMostNameBytes)
        return QStringLiteral("the name '%1' is %2 bytes long; a name takes at most %3")
            .arg(name)
            .arg(name.toUtf8().size())
            .arg(kMostNameBytes);
    return {};
}
