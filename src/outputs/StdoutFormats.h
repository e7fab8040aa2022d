// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The formats of `--stdout`: "text" (the text file's line, the default),
// "jsonl" (the MQTT payload, one object per line) and "influx" (InfluxDB's
// line protocol), so Telegraf's execd input or any pipe can take the rows.

#include "StdoutOutput.h"

#include <optional>

inline constexpr const char *kStdoutFormats = "text, jsonl or influx";

// The line format named `name` (empty: text); none for an unknown name.
// `instrument` names the series of the line protocol.
std::optional<StdoutOutput::LineFormat> stdoutFormat(const QString &name, const QString &instrument);

// What names an instrument in topics and series: the port's file name
// ("ttyUSB0", or the /dev/serial/by-id/ name), "demo" for the simulated one.
QString instrumentName(const QString &port);
