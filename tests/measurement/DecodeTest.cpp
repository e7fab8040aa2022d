// SPDX-License-Identifier: GPL-3.0-or-later
#include "Frame.h"

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

TEST(DecodeStatusA, EveryQuantityAndDerivedCode)
{
    // 1 means neither quantity, 2 air flow, every other code wind speed;
    // only derived codes 1 and 2 mark the temperature.
    const Quantity quantities[8] = {Quantity::speed, Quantity::none,  Quantity::flow,  Quantity::speed,
                                    Quantity::speed, Quantity::speed, Quantity::speed, Quantity::speed};
    const Marker markers[8] = {Marker::none, Marker::dewPoint, Marker::wetBulb, Marker::none,
                               Marker::none, Marker::none,     Marker::none,    Marker::none};
    for (std::uint8_t code = 0; code < 8; ++code) {
        EXPECT_EQ(decodeFrame(frameWith(code, 0)).mode, quantities[code]) << int(code);
        // The other bits set too, to show they do not leak into the marker.
        const Reading r = decodeFrame(frameWith(std::uint8_t(code << 5 | 0x1F), 0));
        EXPECT_EQ(r.marker, markers[code]) << int(code);
        EXPECT_TRUE(r.fahrenheit && r.areaInFeet);
    }
    const Reading r = decodeFrame(frameWith(0x0A, 0));
    EXPECT_TRUE(r.fahrenheit && !r.areaInFeet);
}

TEST(DecodeStatusB, MultiplierUnitAndHold)
{
    const struct {
        std::uint8_t statusB;
        int multiplier, unit;
        Hold hold;
    } cases[] = {
        {0x8D, 100, 3, Hold::max},    {0x40, 10, 0, Hold::current}, {0xC0, 100, 0, Hold::current}, // both: the larger
        {0x1E, 1, 7, Hold::min},      {0x03, 1, 0, Hold::current}, // hold code 3 is the live reading
        {0x20, 1, 0, Hold::current},  // bit 5 is not part of the unit
    };
    for (const auto &c : cases) {
        const Reading r = decodeFrame(frameWith(0, c.statusB));
        EXPECT_EQ(r.multiplier, c.multiplier) << int(c.statusB);
        EXPECT_EQ(r.unit, c.unit) << int(c.statusB);
        EXPECT_EQ(r.hold, c.hold) << int(c.statusB);
    }
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
    const Reading r = decodeFrame(f);
    EXPECT_EQ(r.humidity, 456u);
    EXPECT_EQ(r.temperature, -125);
    EXPECT_EQ(r.value, 12340u);
    EXPECT_EQ(r.speed, 250u);
    EXPECT_EQ(r.spare, 0xBEEFu);
    EXPECT_EQ(r.area, 0x1234u);

    f = frameWith(0, 0x80);
    f.setU16(frame_field::reading, 0xFFFF);
    EXPECT_EQ(decodeFrame(f).value, 6553500u); // the largest reading times 100 fits
}

TEST(EncodeFrame, TheStoredFrameDecodesToTheFieldsEncoded)
{
    FrameFields in;
    in.quantity = FrameFields::Quantity::AirFlow;
    in.fahrenheit = true;
    in.derived = FrameFields::Derived::WetBulb;
    in.multiplier = 10;
    in.unit = 2;
    in.hold = FrameFields::Hold::Min;
    in.humidity = 487;
    in.temperature = -125; // below zero: the wire's +300 must not wrap wrongly
    in.reading = 1234;
    in.speed = 520;
    in.area = 250;
    const SampleFrame wire = wireFrame(in);
    EXPECT_EQ(wire.u16(frame_field::temperature), 175); // -12.5 °C + 30.0
    const Reading r = decodeFrame(storedFrame(in));
    EXPECT_EQ(r.mode, Quantity::flow);
    EXPECT_EQ(r.marker, Marker::wetBulb);
    EXPECT_EQ(r.hold, Hold::min);
    EXPECT_EQ(r.temperature, -125);
    EXPECT_EQ(r.value, 12340u);
    EXPECT_EQ(r.area, 0x0250u);
    EXPECT_TRUE(r.fahrenheit);
}

} // namespace
