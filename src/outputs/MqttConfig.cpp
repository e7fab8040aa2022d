// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttConfig.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <cstdlib>

namespace {

// '+' and '#' are wildcards and '/' separates levels: none may come from a
// host or port name.
QString topicLevel(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c == QLatin1Char('/') || c.isSpace())
            c = QLatin1Char('_');
    return text;
}

std::optional<MqttConfig> fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return std::nullopt;
}

// A password file's first line; a trailing newline is the editor's, not the
// password's.
std::optional<std::string> firstLine(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return std::nullopt;
    }
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line.toStdString();
}

} // namespace

QString defaultMqttPrefix(const QString &instrument)
{
    return QStringLiteral("breezon/") + topicLevel(instrument);
}

QString withoutPassword(const QString &url)
{
    // Everything between "://" and the last '@' goes, so no spelling of a
    // user and password survives (one with a '/' in it, one QUrl refuses);
    // an '@' of the prefix costs the message part of the URL, never a secret.
    static const QRegularExpression userInfo(QStringLiteral("^([^:/?#]*://).*@"));
    QString shown = url;
    shown.replace(userInfo, QStringLiteral("\\1"));
    return shown;
}

std::optional<MqttConfig> parseMqttUrl(const QString &text, const QString &defaultPrefix, QString *why)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        url.host().isEmpty())
        return fail(why, QStringLiteral("'%1' is not an MQTT URL: give mqtt://HOST[:PORT][/PREFIX] or mqtts://...")
                             .arg(withoutPassword(text)));
    if (!url.userInfo().isEmpty())
        return fail(why, QStringLiteral("the MQTT URL must not hold a user or password: give the user with "
                                        "--mqtt-user and the password in %1 or with --mqtt-password-file")
                             .arg(QLatin1String(kPasswordVariable)));
    if (url.hasQuery() || url.hasFragment())
        return fail(why, QStringLiteral("the MQTT URL '%1' has a query or fragment; topics take neither")
                             .arg(withoutPassword(text)));

    MqttConfig c;
    c.tls = scheme == QLatin1String("mqtts");
    c.host = url.host().toStdString();
    c.port = url.port(c.tls ? kMqttsPort : kMqttPort);
    QString prefix = url.path(QUrl::FullyDecoded);
    while (prefix.startsWith(QLatin1Char('/')))
        prefix.remove(0, 1);
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) ||
        prefix.contains(QStringLiteral("//")))
        return fail(why, QStringLiteral("the topic prefix '%1' holds a wildcard (+ or #) or an empty level").arg(prefix));
    c.prefix = (prefix.isEmpty() ? defaultPrefix : prefix).toStdString();
    return c;
}

std::optional<MqttConfig> mqttConfig(const QString &url, const OutputContext &context, QString *why)
{
    std::optional<MqttConfig> c = parseMqttUrl(url, defaultMqttPrefix(context.instrument), why);
    if (!c)
        return c;
    c->user = context.settings.value(QStringLiteral("--mqtt-user")).toStdString();
    c->caFile = context.settings.value(QStringLiteral("--mqtt-ca")).toStdString();
    c->haDiscovery = context.settings.contains(QStringLiteral("--ha-discovery"));
    if (!c->caFile.empty() && !c->tls)
        return fail(why, QStringLiteral("--mqtt-ca is for an mqtts:// URL"));

    const QString file = context.settings.value(QStringLiteral("--mqtt-password-file"));
    const char *credentials = std::getenv("CREDENTIALS_DIRECTORY");
    QString error;
    if (!file.isEmpty()) {
        c->password = firstLine(file, &error);
        if (!c->password)
            return fail(why, QStringLiteral("the MQTT password file %1 cannot be read: %2").arg(file, error));
    } else if (const char *env = std::getenv(kPasswordVariable); env && *env) {
        c->password = env;
    } else if (credentials && *credentials && !c->user.empty()) {
        // The service's credential, one file for every instance that names a
        // user; empty (the unit's fallback) when that file is not there.
        c->password = firstLine(QFile::decodeName(credentials) + QLatin1Char('/') +
                                    QLatin1String(kPasswordCredential), &error);
        if (c->password && c->password->empty())
            c->password.reset();
    }
    if (c->password && c->user.empty())
        return fail(why, QStringLiteral("an MQTT password needs a user name: give --mqtt-user NAME"));
    return c;
}
