#include "DisplayText.h"
#include "Reading.h"

// Every number goes through QString::asprintf: it formats the same whatever
// the process locale (a German desktop would otherwise turn 45.6 into 45,6).

const char16_t *const windUnitNames[kWindUnits] = {u"m/s", u"km/h", u"MPH", u"ft/m", u"ft/s", u"knots"};
const char16_t *const flowUnitNames[kFlowUnits] = {u"CMM", u"CMS", u"CFM"};
const std::uint8_t windDivisors[kWindUnits] = {100, 100, 100, 1, 100, 100};
const std::uint8_t flowDivisors[kFlowUnits] = {10, 100, 10};

namespace {

constexpr std::uint8_t kFeetPerMinuteUnit = 3; // wind unit shown as a whole number
constexpr std::uint8_t kCmsUnit = 1;           // flow unit shown with two decimals

// Air-flow factors: rows by flow unit, columns square metres / square feet.
constexpr double kAirFlowFactors[kFlowUnits][2] = {
    {60.0, 5.5741824},
    {1.0, 0.09290304},
    {2118.88, 196.8503937},
};

} // namespace

bool unitKnown(std::uint8_t mode, std::uint8_t unit)
{
    if (mode == quantity::windSpeed)
        return unit < kWindUnits;
    if (mode == quantity::airFlow)
        return unit < kFlowUnits;
    return false;
}

QString unitName(std::uint8_t mode, std::uint8_t unit)
{
    if (!unitKnown(mode, unit))
        return {};
    const char16_t *name = mode == quantity::windSpeed ? windUnitNames[unit] : flowUnitNames[unit];
    return QString::fromUtf16(name);
}

QString valueText(std::uint8_t mode, std::uint8_t unit, std::uint32_t value)
{
    if (!unitKnown(mode, unit))
        return {};
    if (mode == quantity::windSpeed) {
        const std::uint8_t divisor = windDivisors[unit];
        if (unit == kFeetPerMinuteUnit)
            return QString::asprintf("%u", value / divisor);
        return QString::asprintf("%0.2f", double(value) / divisor);
    }
    const std::uint8_t divisor = flowDivisors[unit];
    if (unit == kCmsUnit)
        return QString::asprintf("%0.2f", double(value) / divisor);
    return QString::asprintf("%0.1f", double(value) / divisor);
}

QString humidityText(std::uint32_t humidity)
{
    return QString::asprintf("%0.1f", double(humidity) / 10.0);
}

QString temperatureText(std::int16_t temperature, bool fahrenheit)
{
    double t = temperature / 10.0;
    if (fahrenheit)
        t = t * 1.8 + 32;
    return QString::asprintf("%0.1f", t);
}

QString humidityBoxText(std::uint32_t humidity)
{
    const float h = float(humidity) / 10.0f;
    return QString::asprintf("%0.1f", double(h));
}

QString temperatureBoxText(std::int16_t temperature, bool fahrenheit)
{
    float t = float(temperature) / 10.0f;
    if (fahrenheit)
        t = t * 1.8f + 32.0f;
    return QString::asprintf("%0.1f", double(t));
}

QString temperatureUnitSign(bool fahrenheit)
{
    return fahrenheit ? QStringLiteral(u"\u2109") : QStringLiteral(u"\u2103");
}

QString dewWetText(std::uint8_t dewWet)
{
    switch (dewWet) {
    case 1:
        return QStringLiteral("DP");
    case 2:
        return QStringLiteral("WB");
    default:
        return {};
    }
}

QString holdText(std::uint8_t hold)
{
    switch (hold) {
    case 1:
        return QStringLiteral("MAX");
    case 2:
        return QStringLiteral("MIN");
    default:
        return QStringLiteral("Current");
    }
}

QString timeText(int hour, int minute, int second)
{
    // Below 10 each part gets a leading zero: always two digits.
    return QString::asprintf("%02d:%02d:%02d", hour, minute, second);
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
