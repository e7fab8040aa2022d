// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The units and every text by which a reading is shown or saved. One rule,
// one function: the list, the panel, the graph labels and the exports all
// call these.

#include "Reading.h"

#include <QString>
#include <cstdint>

inline constexpr int kWindUnits = 6;
inline constexpr int kFlowUnits = 3;
extern const char16_t *const windUnitNames[kWindUnits]; // "m/s" "km/h" "MPH" "ft/m" "ft/s" "knots"
extern const char16_t *const flowUnitNames[kFlowUnits]; // "CMM" "CMS" "CFM"
extern const std::uint8_t windDivisors[kWindUnits];     // 100 100 100 1 100 100
extern const std::uint8_t flowDivisors[kFlowUnits];     // 10 100 10

// True when `unit` has a name and a divisor in the table of `mode` (wind
// speed or air flow); false for the other mode.
bool unitKnown(Quantity mode, std::uint8_t unit);

// Unit name of the reading; empty in mode none and for an index beyond the table.
QString unitName(Quantity mode, std::uint8_t unit);

// What the reading's `value` is divided by to give the number shown (1, 10
// or 100), and the decimals shown (0, 1 or 2, as many as the divisor has
// zeros); 0 for both in mode none and for an index beyond the table.
std::uint8_t valueDivisor(Quantity mode, std::uint8_t unit);
int valueDecimals(Quantity mode, std::uint8_t unit);

// The reading's number (`value` already multiplied): "%d" for ft/m,
// "%0.2f" for the other wind units and CMS, "%0.1f" for CMM and CFM.
// Empty in mode none and for an index beyond the table.
QString valueText(Quantity mode, std::uint8_t unit, std::uint32_t value);

// "%0.1f" of humidity / 10 (double precision, the list and the exports).
QString humidityText(std::uint32_t humidity);
// "%0.1f" of temperature / 10, or of that × 1.8 + 32 in Fahrenheit (double).
QString temperatureText(std::int16_t temperature, bool fahrenheit);
// The same two numbers computed in single precision, for boxes 1010 and 1009.
QString humidityBoxText(std::uint32_t humidity);
QString temperatureBoxText(std::int16_t temperature, bool fahrenheit);

QString temperatureUnitSign(bool fahrenheit); // "℃" or "℉"
QString markerText(Marker marker);            // "DP", "WB" or empty
QString holdText(Hold hold);                  // "MAX", "MIN" or "Current"
// The names the recording file, JSON and the statistics use.
QString modeName(Quantity mode); // "speed", "flow" or "none"
QString holdName(Hold hold);     // "max", "min" or "current"

// "hh:mm:ss", two digits each, 24-hour clock.
QString timeText(int hour, int minute, int second);

// The BCD area d3 d2 d1 d0 as d3·1000 + d2·100 + d1·10 + d0, and that / 1000.
std::uint32_t areaThousandths(std::uint32_t areaBcd);
double areaValue(std::uint32_t areaBcd);

// The air-flow factor by flow unit (0 CMM, 1 CMS, 2 CFM) and area unit;
// 0 for an index beyond the table.
double airFlowFactor(std::uint8_t flowUnit, bool areaInFeet);
// (speed / 100) × area × factor, in the flow unit.
double airFlow(std::uint32_t speed, std::uint32_t areaBcd, std::uint8_t flowUnit, bool areaInFeet);
