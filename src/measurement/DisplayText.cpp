// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayText.h"

#include <charconv>

// Numbers are formatted as printf's "%0.1f", "%0.2f" and "%d" do in the C
// locale, whatever the process locale (a German desktop would otherwise turn
// 45.6 into 45,6). std::to_chars gives exactly that, correctly rounded, at a
// fraction of the cost of a format string: a million-row export makes eight
// million of these texts.

const char16_t *const windUnitNames[kWindUnits] = {u"m/s", u"km/h", u"MPH", u"ft/m", u"ft/s", u"knots"};
const char16_t *const flowUnitNames[kFlowUnits] = {u"CMM", u"CMS", u"CFM"};
const std::uint8_t windDivisors[kWindUnits] = {100, 100, 100, 1, 100, 100};
const std::uint8_t flowDivisors[kFlowUnits] = {10, 100, 10};

namespace {

QString fixed(double v, int decimals)
{
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buf, result.ptr - buf);
}

// Air-flow factors: rows by flow unit, columns square metres / square feet.
constexpr double kAirFlowFactors[kFlowUnits][2] = {
    {60.0, 5.5741824},
    {1.0, 0.09290304},
    {2118.88, 196.8503937},
};

} // namespace

bool unitKnown(Quantity mode, std::uint8_t unit)
{
    if (mode == Quantity::speed)
        return unit < kWindUnits;
    if (mode == Quantity::flow)
        return unit < kFlowUnits;
    return false;
}

QString unitName(Quantity mode, std::uint8_t unit)
{
    if (!unitKnown(mode, unit))
        return {};
    // Shared copies: no allocation per cell.
    static const QString wind[kWindUnits] = {QString::fromUtf16(windUnitNames[0]), QString::fromUtf16(windUnitNames[1]),
                                             QString::fromUtf16(windUnitNames[2]), QString::fromUtf16(windUnitNames[3]),
                                             QString::fromUtf16(windUnitNames[4]), QString::fromUtf16(windUnitNames[5])};
    static const QString flow[kFlowUnits] = {QString::fromUtf16(flowUnitNames[0]), QString::fromUtf16(flowUnitNames[1]),
                                             QString::fromUtf16(flowUnitNames[2])};
    return mode == Quantity::speed ? wind[unit] : flow[unit];
}

std::uint8_t valueDivisor(Quantity mode, std::uint8_t unit)
{
    if (!unitKnown(mode, unit))
        return 0;
    return mode == Quantity::speed ? windDivisors[unit] : flowDivisors[unit];
}

int valueDecimals(Quantity mode, std::uint8_t unit)
{
    const std::uint8_t divisor = valueDivisor(mode, unit);
    return divisor >= 100 ? 2 : divisor >= 10 ? 1 : 0;
}

QString valueText(Quantity mode, std::uint8_t unit, std::uint32_t value)
{
    const std::uint8_t divisor = valueDivisor(mode, unit);
    if (divisor == 0)
        return {};
    if (divisor == 1) // ft/m: a whole number
        return QString::number(value);
    return fixed(double(value) / divisor, valueDecimals(mode, unit));
}

QString humidityText(std::uint32_t humidity)
{
    return fixed(double(humidity) / 10.0, 1);
}

QString temperatureText(std::int16_t temperature, bool fahrenheit)
{
    double t = temperature / 10.0;
    if (fahrenheit)
        t = t * 1.8 + 32;
    return fixed(t, 1);
}

QString humidityBoxText(std::uint32_t humidity)
{
    const float h = float(humidity) / 10.0f;
    return fixed(double(h), 1);
}

QString temperatureBoxText(std::int16_t temperature, bool fahrenheit)
{
    float t = float(temperature) / 10.0f;
    if (fahrenheit)
        t = t * 1.8f + 32.0f;
    return fixed(double(t), 1);
}

QString temperatureUnitSign(bool fahrenheit)
{
    return fahrenheit ? QStringLiteral(u"\u2109") : QStringLiteral(u"\u2103");
}

QString markerText(Marker marker)
{
    switch (marker) {
    case Marker::dewPoint: return QStringLiteral("DP");
    case Marker::wetBulb: return QStringLiteral("WB");
    case Marker::none: break;
    }
    return {};
}

QString holdText(Hold hold)
{
    switch (hold) {
    case Hold::max: return QStringLiteral("MAX");
    case Hold::min: return QStringLiteral("MIN");
    case Hold::current: break;
    }
    return QStringLiteral("Current");
}

QString modeName(Quantity mode)
{
    switch (mode) {
    case Quantity::speed: return QStringLiteral("speed");
    case Quantity::flow: return QStringLiteral("flow");
    case Quantity::none: break;
    }
    return QStringLiteral("none");
}

QString holdName(Hold hold)
{
    switch (hold) {
    case Hold::max: return QStringLiteral("max");
    case Hold::min: return QStringLiteral("min");
    case Hold::current: break;
    }
    return QStringLiteral("current");
}

QString timeText(int hour, int minute, int second)
{
    // Below 10 each part gets a leading zero: always two digits.
    const auto two = [](int v, char16_t *at) {
        at[0] = char16_t(u'0' + v / 10 % 10);
        at[1] = char16_t(u'0' + v % 10);
    };
    if (hour < 0 || hour > 99 || minute < 0 || minute > 99 || second < 0 || second > 99)
        return QString::asprintf("%02d:%02d:%02d", hour, minute, second);
    char16_t text[8] = {0, 0, u':', 0, 0, u':', 0, 0};
    two(hour, text);
    two(minute, text + 3);
    two(second, text + 6);
    return QString(reinterpret_cast<const QChar *>(text), 8);
}

std::uint32_t areaThousandths(std::uint32_t areaBcd)
{
    const std::uint32_t d3 = (areaBcd >> 12) & 0xF;
    const std::uint32_t d2 = (areaBcd >> 8) & 0xF;
    const std::uint32_t d1 = (areaBcd >> 4) & 0xF;
    const std::uint32_t d0 = areaBcd & 0xF;
    return d3 * 1000 + d2 * 100 + d1 * 10 + d0;
}

double areaValue(std::uint32_t areaBcd)
{
    return areaThousandths(areaBcd) / 1000.0;
}

double airFlowFactor(std::uint8_t flowUnit, bool areaInFeet)
{
    if (flowUnit >= kFlowUnits)
        return 0.0;
    return kAirFlowFactors[flowUnit][areaInFeet ? 1 : 0];
}

double airFlow(std::uint32_t speed, std::uint32_t areaBcd, std::uint8_t flowUnit, bool areaInFeet)
{
    return (speed / 100.0) * areaValue(areaBcd) * airFlowFactor(flowUnit, areaInFeet);
}
