// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A decoded frame: what the readout panel shows, what a row of the list
// keeps and what every output is made from. One type for all of them.

#include <cstdint>

// What the instrument's main reading is.
enum class Quantity : std::uint8_t { speed, flow, none };
// A held maximum or minimum, or the live reading.
enum class Hold : std::uint8_t { current, max, min };
// The temperature shown is the dew point or the wet-bulb temperature.
enum class Marker : std::uint8_t { none, dewPoint, wetBulb };

struct Reading {
    std::uint32_t value = 0;      // unit steps, multiplier applied
    std::uint16_t humidity = 0;   // tenths of %RH
    std::int16_t temperature = 0; // tenths of °C
    std::uint16_t speed = 0;      // hundredths of m/s
    std::uint16_t area = 0;       // packed BCD, thousandths of the area unit
    std::uint16_t spare = 0;
    Quantity mode = Quantity::speed;
    std::uint8_t multiplier = 0; // 1, 10 or 100 (0 before the first sample)
    std::uint8_t unit = 0;       // 0-7, index into the quantity's table
    Hold hold = Hold::current;
    Marker marker = Marker::none;
    bool fahrenheit = false; // temperatures shown in °F
    bool areaInFeet = false; // area in ft²

    friend bool operator==(const Reading &, const Reading &) = default;
};
