// SPDX-License-Identifier: GPL-3.0-or-later
#include "HaDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Home Assistant's names for the flow units the instrument shows.
QString flowUnit(const QString &unit)
{
    if (unit == QLatin1String("CMM"))
        return QStringLiteral("m³/min");
    if (unit == QLatin1String("CMS"))
        return QStringLiteral("m³/s");
    if (unit == QLatin1String("CFM"))
        return QStringLiteral("ft³/min");
    return unit;
}

QString nodeId(const QString &prefix)
{
    QString id = QStringLiteral("breezon_") + prefix;
    for (QChar &c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return id;
}

} // namespace

QString discoveryKey(const RowFields &row)
{
    return row.mode == QLatin1String("flow") ? QStringLiteral("flow ") + row.unit + QLatin1Char(' ') + row.temperatureUnit
                                             : QStringLiteral("speed ") + row.temperatureUnit;
}

std::vector<DiscoveryMessage> haDiscovery(const RowFields &row, const QString &prefix, const QString &instrument)
{
    const QString node = nodeId(prefix);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), QStringLiteral("breezon %1").arg(instrument)},
                             {QStringLiteral("manufacturer"), QStringLiteral("breezon")},
                             {QStringLiteral("model"), QStringLiteral("anemometer")}};
    auto config = [&](const QString &object, const QString &name, const QString &field, const QString &unit,
                      const QString &deviceClass) {
        QJsonObject o{{QStringLiteral("name"), name},
                      {QStringLiteral("unique_id"), node + QLatin1Char('_') + object},
                      {QStringLiteral("state_topic"), prefix + QStringLiteral("/reading")},
                      {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(field)},
                      {QStringLiteral("unit_of_measurement"), unit},
                      {QStringLiteral("state_class"), QStringLiteral("measurement")},
                      {QStringLiteral("availability_topic"), prefix + QStringLiteral("/status")},
                      {QStringLiteral("payload_available"), QStringLiteral("online")},
                      {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                      {QStringLiteral("device"), device}};
        if (!deviceClass.isEmpty())
            o.insert(QStringLiteral("device_class"), deviceClass);
        return DiscoveryMessage{QStringLiteral("homeassistant/sensor/%1/%2/config").arg(node, object),
                                QJsonDocument(o).toJson(QJsonDocument::Compact)};
    };
    auto removed = [&](const QString &object) {
        return DiscoveryMessage{QStringLiteral("homeassistant/sensor/%1/%2/config").arg(node, object), {}};
    };

    std::vector<DiscoveryMessage> messages;
    if (row.mode == QLatin1String("flow")) {
        messages.push_back(removed(QStringLiteral("speed")));
        messages.push_back(config(QStringLiteral("flow"), QStringLiteral("Air flow"), QStringLiteral("value"),
                                  flowUnit(row.unit), {}));
    } else {
        // The instrument measures the speed in every mode.
        messages.push_back(removed(QStringLiteral("flow")));
        messages.push_back(config(QStringLiteral("speed"), QStringLiteral("Air speed"), QStringLiteral("speed"),
                                  QStringLiteral("m/s"), QStringLiteral("wind_speed")));
    }
    messages.push_back(config(QStringLiteral("temperature"), QStringLiteral("Temperature"),
                              QStringLiteral("temperature"),
                              row.temperatureUnit == QLatin1String("F") ? QStringLiteral("°F") : QStringLiteral("°C"),
                              QStringLiteral("temperature")));
    messages.push_back(config(QStringLiteral("humidity"), QStringLiteral("Relative humidity"), QStringLiteral("rh"),
                              QStringLiteral("%"), QStringLiteral("humidity")));
    return messages;
}
