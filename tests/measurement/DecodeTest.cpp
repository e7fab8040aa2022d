// SPDX-License-Identifier: GPL-3.0-or-later
#include "Decode.h"
#include "SampleFrame.h"

#include <gtest/gtest.h>

namespace {

SampleFrame frameWith(std::uint8_t statusA, std::uint8_t statusB)
{
    SampleFrame f;
    f.bytes[0] = SampleFrame::kSync1;
    f.bytes[1] = SampleFrame::kSync2;
    f.bytes[frame_field::statusA] = statusA;
    f.bytes[frame_field::statusB] = statusB;
    return f;
}

TEST(DecodeStatusA, AirFlowInFahrenheitWithSquareMetres)
{
    const LatestReading r = decodeFrame(frameWith(0x0A, 0));
    EXPECT_EQ(r.mode, quantity::airFlow);
    EXPECT_EQ(r.fahrenheit, 1);
    EXPECT_EQ(r.areaInFeet, 0);
    EXPECT_EQ(r.dewWet, 0);
}

TEST(DecodeStatusA, WindSpeedWithDewPointAndSquareFeet)
{
    const LatestReading r = decodeFrame(frameWith(0x30, 0));
    EXPECT_EQ(r.mode, quantity::windSpeed);
    EXPECT_EQ(r.dewWet, 1);
    EXPECT_EQ(r.areaInFeet, 1);
    EXPECT_EQ(r.fahrenheit, 0);
}

TEST(DecodeStatusA, QuantityCodes)
{
    // 1 means neither quantity, 2 air flow, every other code wind speed.
    const std::uint8_t expected[8] = {quantity::windSpeed, quantity::neither, quantity::airFlow, quantity::windSpeed,
                                      quantity::windSpeed, quantity::windSpeed, quantity::windSpeed,
                                      quantity::windSpeed};
    for (std::uint8_t code = 0; code < 8; ++code)
        EXPECT_EQ(decodeFrame(frameWith(code, 0)).mode, expected[code]) << int(code);
}

TEST(DecodeStatusA, DerivedTemperatureCodes)
{
    const std::uint8_t expected[8] = {0, 1, 2, 0, 0, 0, 0, 0};
    for (std::uint8_t code = 0; code < 8; ++code) {
        // The other bits set too, to show they do not leak into the marker.
        const LatestReading r = decodeFrame(frameWith(std::uint8_t(code << 5 | 0x1F), 0));
        EXPECT_EQ(r.dewWet, expected[code]) << int(code);
        EXPECT_EQ(r.fahrenheit, 1);
        EXPECT_EQ(r.areaInFeet, 1);
    }
}

TEST(DecodeStatusB, MultiplierUnitAndHold)
{
    LatestReading r = decodeFrame(frameWith(0, 0x8D));
    EXPECT_EQ(r.multiplier, 100);
    EXPECT_EQ(r.unit, 3);
    EXPECT_EQ(r.hold, 1);

    r = decodeFrame(frameWith(0, 0x40));
    EXPECT_EQ(r.multiplier, 10);
    EXPECT_EQ(r.unit, 0);
    EXPECT_EQ(r.hold, 0);

    r = decodeFrame(frameWith(0, 0xC0)); // both range bits: the larger wins
    EXPECT_EQ(r.multiplier, 100);

    r = decodeFrame(frameWith(0, 0x1E)); // unit 7, hold MIN
    EXPECT_EQ(r.multiplier, 1);
    EXPECT_EQ(r.unit, 7);
    EXPECT_EQ(r.hold, 2);

    EXPECT_EQ(decodeFrame(frameWith(0, 0x03)).hold, 3);
    EXPECT_EQ(decodeFrame(frameWith(0, 0x20)).unit, 0); // bit 5 is not part of the unit
}

TEST(DecodeFields, BigEndianNumbersAndTheMultiplier)
{
    SampleFrame f = frameWith(0, 0x40); // x10
    f.setU16(frame_field::humidity, 0x01C8);
    f.bytes[6] = 0xFF;
    f.bytes[7] = 0x83;
    f.bytes[8] = 0x04;
    f.bytes[9] = 0xD2;
    f.setU16(frame_field::speed, 250);
    f.setU16(frame_field::spare, 0xBEEF);
    f.setU16(frame_field::area, 0x1234);
    const LatestReading r = decodeFrame(f);
    EXPECT_EQ(r.humidity, 456u);
    EXPECT_EQ(r.temperature, -125);
    EXPECT_EQ(r.value, 12340u);
    EXPECT_EQ(r.speed, 250u);
    EXPECT_EQ(r.spare, 0xBEEFu);
    EXPECT_EQ(r.area, 0x1234u);
}

TEST(DecodeFields, LargestReadingTimesOneHundredFits)
{
    SampleFrame f = frameWith(0, 0x80);
    f.setU16(frame_field::reading, 0xFFFF);
    EXPECT_EQ(decodeFrame(f).value, 6553500u);
}

TEST(DecodeRow, CopiesEveryField)
{
    SampleFrame f = frameWith(0x4A, 0x99); // flow, °F, wet bulb; x100, unit 6, MAX
    f.setU16(frame_field::humidity, 700);
    f.setU16(frame_field::temperature, 0xFF00);
    f.setU16(frame_field::reading, 7);
    f.setU16(frame_field::speed, 9);
    f.setU16(frame_field::spare, 11);
    f.setU16(frame_field::area, 0x0500);
    const LatestReading r = decodeFrame(f);
    const ReadingRow row = toRow(r);
    EXPECT_EQ(row.humidity, 700u);
    EXPECT_EQ(row.temperature, -256);
    EXPECT_EQ(row.value, 700u);
    EXPECT_EQ(row.speed, 9u);
    EXPECT_EQ(row.area, 0x0500u);
    EXPECT_EQ(row.spare, 11u);
    EXPECT_EQ(row.fahrenheit, 1);
    EXPECT_EQ(row.dewWet, 2);
    EXPECT_EQ(row.mode, quantity::airFlow);
    EXPECT_EQ(row.multiplier, 100);
    EXPECT_EQ(row.unit, 6);
    EXPECT_EQ(row.hold, 1);
}

} // namespace
