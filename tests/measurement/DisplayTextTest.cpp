// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayText.h"
#include "Reading.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

constexpr Quantity windSpeed = Quantity::speed;
constexpr Quantity flow = Quantity::flow;
constexpr Quantity neither = Quantity::none;

TEST(ValueText, WindSpeed)
{
    EXPECT_EQ(valueText(windSpeed, 0, 1234), "12.34");
    EXPECT_EQ(valueText(windSpeed, 0, 123), "1.23");
    EXPECT_EQ(valueText(windSpeed, 1, 1234), "12.34");
    EXPECT_EQ(valueText(windSpeed, 3, 12340), "12340"); // ft/m: a whole number
    EXPECT_EQ(valueText(windSpeed, 3, 1234), "1234");
    EXPECT_EQ(valueText(windSpeed, 5, 0), "0.00");
    EXPECT_EQ(valueText(windSpeed, 0, 6553500), "65535.00");
}

TEST(ValueText, AirFlow)
{
    EXPECT_EQ(valueText(flow, 0, 5), "0.5");
    EXPECT_EQ(valueText(flow, 1, 5), "0.05");
    EXPECT_EQ(valueText(flow, 0, 1234), "123.4");
    EXPECT_EQ(valueText(flow, 1, 1234), "12.34");
    EXPECT_EQ(valueText(flow, 2, 1234), "123.4");
}

TEST(ValueText, NothingWithoutAQuantityOrBeyondTheTables)
{
    EXPECT_TRUE(valueText(neither, 0, 1234).isEmpty());
    EXPECT_TRUE(unitName(neither, 0).isEmpty());
    for (std::uint8_t u : {6, 7}) {
        EXPECT_FALSE(unitKnown(windSpeed, u));
        EXPECT_TRUE(valueText(windSpeed, u, 1234).isEmpty());
        EXPECT_TRUE(unitName(windSpeed, u).isEmpty());
    }
    for (std::uint8_t u = 3; u < 8; ++u) {
        EXPECT_FALSE(unitKnown(flow, u));
        EXPECT_TRUE(valueText(flow, u, 1234).isEmpty());
        EXPECT_TRUE(unitName(flow, u).isEmpty());
    }
    EXPECT_TRUE(unitKnown(windSpeed, 5));
    EXPECT_TRUE(unitKnown(flow, 2));
}

TEST(OtherTexts, HumidityAndTemperature)
{
    EXPECT_EQ(humidityText(456), "45.6");
    EXPECT_EQ(humidityText(0), "0.0");
    EXPECT_EQ(temperatureText(-125, false), "-12.5");
    EXPECT_EQ(temperatureText(-125, true), "9.5");
    EXPECT_EQ(temperatureText(235, true), "74.3");
    EXPECT_EQ(temperatureText(235, false), "23.5");
    // The boxes compute in single precision and show the same numbers.
    EXPECT_EQ(humidityBoxText(456), "45.6");
    EXPECT_EQ(humidityBoxText(0), "0.0");
    EXPECT_EQ(temperatureBoxText(-125, false), "-12.5");
    EXPECT_EQ(temperatureBoxText(-125, true), "9.5");
    EXPECT_EQ(temperatureBoxText(235, true), "74.3");
}

TEST(OtherTexts, NumbersIgnoreTheLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(humidityText(456), "45.6");
    EXPECT_EQ(valueText(windSpeed, 0, 1234), "12.34");
    EXPECT_EQ(valueText(windSpeed, 3, 1234567), "1234567"); // no group separators
    QLocale::setDefault(before);
}

TEST(OtherTexts, SignsMarkersAndHold)
{
    EXPECT_EQ(temperatureUnitSign(false), QString(QChar(0x2103)));
    EXPECT_EQ(temperatureUnitSign(true), QString(QChar(0x2109)));
    EXPECT_EQ(markerText(Marker::dewPoint), "DP");
    EXPECT_EQ(markerText(Marker::wetBulb), "WB");
    EXPECT_TRUE(markerText(Marker::none).isEmpty());
    EXPECT_EQ(holdText(Hold::max), "MAX");
    EXPECT_EQ(holdText(Hold::min), "MIN");
    EXPECT_EQ(holdText(Hold::current), "Current");
}

TEST(OtherTexts, TimeOfDayTwoDigitsEach)
{
    EXPECT_EQ(timeText(9, 5, 3), "09:05:03");
    EXPECT_EQ(timeText(0, 0, 0), "00:00:00");
    EXPECT_EQ(timeText(10, 5, 7), "10:05:07");
    EXPECT_EQ(timeText(23, 59, 59), "23:59:59");
}

TEST(AreaAndFlow, PackedDigitsAndFactors)
{
    EXPECT_EQ(areaThousandths(0x1234), 1234u);
    EXPECT_DOUBLE_EQ(areaValue(0x1234), 1.234);
    EXPECT_EQ(areaThousandths(0x9999), 9999u);
    // 2.5 m/s through 1.234 m².
    EXPECT_NEAR(airFlow(250, 0x1234, 1, false), 3.085, 1e-12);
    EXPECT_NEAR(airFlow(250, 0x1234, 0, false), 185.1, 1e-9);
    EXPECT_NEAR(airFlow(250, 0x1234, 2, false), 2.5 * 1.234 * 2118.88, 1e-9);
    EXPECT_NEAR(airFlow(250, 0x1234, 1, true), 2.5 * 1.234 * 0.09290304, 1e-12);
    EXPECT_DOUBLE_EQ(airFlowFactor(0, true), 5.5741824);
    EXPECT_DOUBLE_EQ(airFlowFactor(2, true), 196.8503937);
    // No factor beyond the table, so no flow rather than a stray number.
    EXPECT_EQ(airFlowFactor(3, false), 0.0);
    EXPECT_EQ(airFlow(250, 0x1234, 7, true), 0.0);
}

} // namespace

namespace {

// The texts are made without format strings, for speed; they must equal
// printf's for every number a frame can carry.
TEST(NumberTexts, EqualPrintfForEveryPossibleInput)
{
    int mismatches = 0;
    auto expectSame = [&](const QString &made, const QString &printf) {
        if (made != printf && ++mismatches <= 10)
            ADD_FAILURE() << qPrintable(made) << " instead of " << qPrintable(printf);
    };
    for (std::uint32_t h = 0; h <= 0xFFFF; ++h) {
        expectSame(humidityText(h), QString::asprintf("%0.1f", h / 10.0));
        expectSame(humidityBoxText(h), QString::asprintf("%0.1f", double(float(h) / 10.0f)));
    }
    for (int raw = -32768; raw <= 32767; ++raw) {
        const auto t = std::int16_t(raw);
        expectSame(temperatureText(t, false), QString::asprintf("%0.1f", t / 10.0));
        expectSame(temperatureText(t, true), QString::asprintf("%0.1f", t / 10.0 * 1.8 + 32));
        expectSame(temperatureBoxText(t, true), QString::asprintf("%0.1f", double(float(t) / 10.0f * 1.8f + 32.0f)));
    }
    for (std::uint32_t multiplier : {1u, 10u, 100u})
        for (std::uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
            const std::uint32_t v = raw * multiplier;
            expectSame(valueText(windSpeed, 0, v), QString::asprintf("%0.2f", v / 100.0));
            expectSame(valueText(windSpeed, 3, v), QString::asprintf("%d", int(v)));
            expectSame(valueText(flow, 0, v), QString::asprintf("%0.1f", v / 10.0));
            expectSame(valueText(flow, 1, v), QString::asprintf("%0.2f", v / 100.0));
        }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
