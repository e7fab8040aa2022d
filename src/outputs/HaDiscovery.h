// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Home Assistant's MQTT discovery for one instrument (`--ha-discovery`): a
// retained config per sensor (air speed, air flow, temperature, relative
// humidity) that takes its state from PREFIX/reading and its availability
// from PREFIX/status, on one device named by the instrument.
//
// The configs never depend on a row: every sensor reads a field whose unit
// never changes (speed in m/s, flow_m3_h, temperature_c, rh), so a switch of
// mode or unit on the instrument changes no config and deletes no entity
// (an empty config would delete it, and its history). Air flow is available
// only while the instrument measures flow; held maxima and minima and dew
// point or wet-bulb rows leave the live sensors as they were. The configs
// are sent at every connection and when Home Assistant says it has started.

#include <QByteArray>
#include <QString>

#include <vector>

// Home Assistant says "online" here when it starts (its birth message).
inline constexpr const char *kHaStatusTopic = "homeassistant/status";

struct DiscoveryMessage {
    QString topic;      // homeassistant/sensor/NODE/OBJECT/config
    QByteArray payload; // JSON, never empty
};

struct HaDevice {
    QString prefix;     // the topic prefix: PREFIX/reading, PREFIX/status
    QString instrument; // the device's name
    int periodMs = 1000;
};

// The config of every sensor of `device`.
std::vector<DiscoveryMessage> haDiscovery(const HaDevice &device);

// How long a sensor keeps a value with no row: three sampling periods, at
// least a minute.
int haExpireAfterS(int periodMs);
