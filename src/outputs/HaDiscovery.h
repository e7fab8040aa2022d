// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Home Assistant's MQTT discovery for one instrument (`--ha-discovery`): a
// retained config message per sensor (air speed or air flow, temperature,
// relative humidity) that points at PREFIX/reading and takes PREFIX/status
// as its availability. Made from a row, because the row tells the mode and
// the units; made again when they change.

#include "RowFields.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct DiscoveryMessage {
    QString topic;      // homeassistant/sensor/NODE/OBJECT/config
    QByteArray payload; // JSON; empty removes the sensor (speed gave way to flow)
};

// What decides the messages: they are sent again only when this changes.
QString discoveryKey(const RowFields &row);

// `prefix` is the topic prefix, `instrument` the name the device is shown by.
std::vector<DiscoveryMessage> haDiscovery(const RowFields &row, const QString &prefix, const QString &instrument);
