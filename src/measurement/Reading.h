// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A decoded frame: the latest reading of the graph view, and the row record
// handed to the reading list.

#include <cstdint>

struct LatestReading {
    std::uint32_t humidity = 0;    // tenths of %RH
    std::uint32_t value = 0;       // unit steps, multiplier applied
    std::uint32_t speed = 0;       // hundredths of m/s
    std::uint32_t area = 0;        // packed BCD, thousandths of the area unit
    std::uint32_t spare = 0;
    std::int16_t temperature = 0;  // tenths of °C
    std::uint8_t mode = 0;         // 0 wind speed, 1 air flow, 2 neither
    std::uint8_t multiplier = 0;   // 1, 10 or 100 (0 before the first sample)
    std::uint8_t unit = 0;         // 0-7, index into the quantity's table
    std::uint8_t hold = 0;         // 1 MAX, 2 MIN, else current
    std::uint8_t fahrenheit = 0;   // 1: show temperatures in °F
    std::uint8_t dewWet = 0;       // 1 dew point, 2 wet bulb, 0 neither
    std::uint8_t areaInFeet = 0;   // 1: area in ft²
};

struct ReadingRow {
    std::uint32_t humidity = 0;
    std::int16_t temperature = 0;
    std::uint32_t value = 0;
    std::uint32_t speed = 0;
    std::uint32_t area = 0;
    std::uint32_t spare = 0;
    std::uint8_t fahrenheit = 0;
    std::uint8_t dewWet = 0;
    std::uint8_t mode = 0;
    std::uint8_t multiplier = 0;
    std::uint8_t unit = 0;
    std::uint8_t hold = 0;
};

namespace quantity {
inline constexpr std::uint8_t windSpeed = 0;
inline constexpr std::uint8_t airFlow = 1;
inline constexpr std::uint8_t neither = 2;
} // namespace quantity
