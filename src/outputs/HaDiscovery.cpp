// SPDX-License-Identifier: GPL-3.0-or-later
#include "HaDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr const char *kSupportUrl = "https://github.com/breezon/breezon";

QString nodeId(const QString &prefix)
{
    QString id = QStringLiteral("breezon_") + prefix;
    for (QChar &c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return id;
}

// The field of a live row; an empty text (which Home Assistant ignores for
// a numeric sensor, keeping its state) for a held or DP/WB row, or where
// the row has no such value.
QString liveValue(const QString &field)
{
    return QStringLiteral("{% if value_json.hold == 'current' and value_json.marker is none and "
                          "value_json.%1 is not none %}{{ value_json.%1 }}{% endif %}")
        .arg(field);
}

struct Sensor {
    const char *object, *name, *field, *unit, *deviceClass;
    bool flowOnly;
};

// Units Home Assistant accepts for each device class, in fields that keep
// them whatever the instrument shows.
constexpr Sensor kSensors[] = {
    {"speed", "Air speed", "speed", "m/s", "wind_speed", false},
    {"flow", "Air flow", "flow_m3_h", "m³/h", "volume_flow_rate", true},
    {"temperature", "Temperature", "temperature_c", "°C", "temperature", false},
    {"humidity", "Relative humidity", "rh", "%", "humidity", false},
};

} // namespace

int haExpireAfterS(int periodMs)
{
    return std::max(60, 3 * ((periodMs + 999) / 1000));
}

std::vector<DiscoveryMessage> haDiscovery(const HaDevice &d)
{
    const QString node = nodeId(d.prefix);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), d.instrument},
                             {QStringLiteral("model"), QStringLiteral("anemometer")},
                             {QStringLiteral("sw_version"), QStringLiteral(BREEZON_VERSION)}};
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("breezon-record")},
                             {QStringLiteral("sw_version"), QStringLiteral(BREEZON_VERSION)},
                             {QStringLiteral("support_url"), QLatin1String(kSupportUrl)}};
    const QString readings = d.prefix + QStringLiteral("/reading");
    const QJsonObject status{{QStringLiteral("topic"), d.prefix + QStringLiteral("/status")},
                             {QStringLiteral("payload_available"), QStringLiteral("online")},
                             {QStringLiteral("payload_not_available"), QStringLiteral("offline")}};
    const QJsonObject measuringFlow{
        {QStringLiteral("topic"), readings},
        {QStringLiteral("value_template"),
         QStringLiteral("{{ 'online' if value_json.mode == 'flow' else 'offline' }}")},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")}};

    std::vector<DiscoveryMessage> messages;
    for (const Sensor &s : kSensors) {
        const QString object = QLatin1String(s.object);
        const QJsonObject config{
            {QStringLiteral("name"), QString::fromUtf8(s.name)},
            {QStringLiteral("unique_id"), node + QLatin1Char('_') + object},
            {QStringLiteral("state_topic"), readings},
            {QStringLiteral("value_template"), liveValue(QLatin1String(s.field))},
            {QStringLiteral("unit_of_measurement"), QString::fromUtf8(s.unit)},
            {QStringLiteral("device_class"), QLatin1String(s.deviceClass)},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("expire_after"), haExpireAfterS(d.periodMs)},
            {QStringLiteral("availability"), s.flowOnly ? QJsonArray{status, measuringFlow} : QJsonArray{status}},
            {QStringLiteral("availability_mode"), QStringLiteral("all")},
            {QStringLiteral("qos"), 1},
            {QStringLiteral("device"), device},
            {QStringLiteral("origin"), origin}};
        messages.push_back({QStringLiteral("homeassistant/sensor/%1/%2/config").arg(node, object),
                            QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
