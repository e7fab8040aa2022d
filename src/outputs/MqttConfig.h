// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where and how the MQTT output publishes: the broker's address from
// `--mqtt URL`, the topic prefix, the user name, the password (from a file,
// the environment or the service's credential: never from the command line,
// where every user of the machine can read it), the certificate authority
// for TLS.
//
// Plain standard strings: the network side (MqttLink) knows no Qt.

#include "Output.h"

#include <QString>

#include <optional>
#include <string>

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttsPort = 8883;
inline constexpr const char *kPasswordVariable = "BREEZON_MQTT_PASSWORD";
// The service's credential (LoadCredential=) in $CREDENTIALS_DIRECTORY.
inline constexpr const char *kPasswordCredential = "mqtt-password";

struct MqttConfig {
    bool tls = false;
    std::string host;
    int port = kMqttPort;
    std::string prefix;             // topics are PREFIX/reading and PREFIX/status
    std::string user;               // empty: none
    std::optional<std::string> password;
    std::string caFile;             // empty: the system's certificate store
    bool haDiscovery = false;

    std::string address() const { return host + ':' + std::to_string(port); }
};

// "mqtt://HOST[:PORT][/PREFIX]" or "mqtts://..."; `defaultPrefix` where the
// URL gives none. The reason when the URL is not one.
std::optional<MqttConfig> parseMqttUrl(const QString &url, const QString &defaultPrefix, QString *why);

// The whole configuration of `--mqtt URL` with the options that go with it
// (OutputContext::settings) and the password: --mqtt-password-file, else
// BREEZON_MQTT_PASSWORD, else (with --mqtt-user) the credential
// kPasswordCredential. The reason when something is wrong.
std::optional<MqttConfig> mqttConfig(const QString &url, const OutputContext &context, QString *why);

// "breezon/NAME", with characters that topics reserve replaced.
QString defaultMqttPrefix(const QString &instrument);

// `url` as messages show it: without a user or password.
QString withoutPassword(const QString &url);
