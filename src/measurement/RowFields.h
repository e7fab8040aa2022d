// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row's fields under the names users learn once: the recording file's
// columns, the JSON payload's keys and the line protocol's fields are these.
// Numbers are kept as the texts the list shows (so a value is rounded the
// same everywhere) and written as numbers by each format; an empty text is
// a null (no value in mode "none", no marker).

#include "RowRecord.h"

#include <QString>

#include <cstdint>
#include <optional>

struct RowFields {
    int seq = 0;
    std::int64_t unixMs = 0;
    QString time;            // ISO 8601 with milliseconds and offset
    QString mode;            // "speed", "flow" or "none"
    QString value;           // number text; empty where the list shows none
    QString unit;            // "m/s", "CFM", ...; empty where the list shows none
    QString rh;              // %RH, number text
    QString temperature;     // in temperature_unit, number text
    QString temperatureUnit; // "C" or "F"
    QString marker;          // "DP", "WB" or empty
    QString hold;            // "current", "max" or "min"
    QString speed;           // m/s, number text
    QString area;            // m² or ft², number text
    QString temperatureC;    // °C whatever the instrument shows, number text
    QString flowM3h;         // the flow shown, in m³/h; empty where the row has no flow
    QString frame;           // the 16 stored bytes, lower-case hex
};

RowFields rowFields(const RowRecord &row);

// The flow a reading shows, in m³/h, rounded to the field's three decimals;
// nothing where it shows no flow. The statistics count this very number.
std::optional<double> flowM3hOf(const Reading &r);
