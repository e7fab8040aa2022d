// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The formats of `--stdout`: "text" (the text file's line, the default),
// "jsonl" (the MQTT payload, one object per line) and "influx" (InfluxDB's
// line protocol), so Telegraf's execd input or any pipe can take the rows.

#include "StdoutOutput.h"

#include <optional>

inline constexpr const char *kStdoutFormats = "text, jsonl or influx";

// The line format named `name` (empty: text); none for an unknown name.
// `instrument` and `host` name the rows of jsonl and influx.
std::optional<StdoutOutput::LineFormat> stdoutFormat(const QString &name, const QString &instrument,
                                                     const QString &host);
