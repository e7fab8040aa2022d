// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The instrument's 16-byte frame, in one place: where each field sits, the
// temperature correction the store applies, and the two ways between bytes
// and readings (encode for the simulator and the tests, decode for every
// view and output). The assembler, the decoder, the graph and the simulator
// all go through this file.
//
//  0  0xEB            sync 1
//  1  0xA0            sync 2
//  2  status A        bits 2-0 quantity code, bit 3 Fahrenheit, bit 4 area in ft²,
//                     bits 7-5 derived-temperature code
//  3  status B        bit 7 x100, bit 6 x10, bits 4-2 unit index, bits 1-0 hold
//  4-5  humidity      tenths of %RH
//  6-7  temperature   wire: tenths of °C + 300; stored: tenths of °C, signed
//  8-9  reading       displayed reading in unit steps, before the multiplier
// 10-11 speed         hundredths of m/s
// 12-13 spare
// 14-15 area          four packed BCD digits, thousandths of m² or ft²
// Multi-byte fields are big-endian.

#include "Reading.h"

#include <array>
#include <cstddef>
#include <cstdint>

struct SampleFrame {
    static constexpr std::size_t kSize = 16;
    static constexpr std::uint8_t kSync1 = 0xEB;
    static constexpr std::uint8_t kSync2 = 0xA0;

    std::array<std::uint8_t, kSize> bytes{};

    std::uint16_t u16(std::size_t offset) const
    {
        return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
    }
    std::int16_t s16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    void setU16(std::size_t offset, std::uint16_t v)
    {
        bytes[offset] = static_cast<std::uint8_t>(v >> 8);
        bytes[offset + 1] = static_cast<std::uint8_t>(v & 0xFF);
    }

    friend bool operator==(const SampleFrame &, const SampleFrame &) = default;
};
static_assert(sizeof(SampleFrame) == SampleFrame::kSize);

// Field offsets within a frame.
namespace frame_field {
inline constexpr std::size_t statusA = 2;
inline constexpr std::size_t statusB = 3;
inline constexpr std::size_t humidity = 4;
inline constexpr std::size_t temperature = 6;
inline constexpr std::size_t reading = 8;
inline constexpr std::size_t speed = 10;
inline constexpr std::size_t spare = 12;
inline constexpr std::size_t area = 14;
} // namespace frame_field

// The instrument sends tenths of a degree Celsius plus this; the store keeps
// tenths of a degree as a signed number.
inline constexpr std::uint16_t kTemperatureOffset = 300;

// Bytes 6-7 minus the offset, mod 65536: the wire frame as the store keeps it.
inline void correctTemperature(SampleFrame &frame)
{
    frame.setU16(frame_field::temperature,
                 static_cast<std::uint16_t>(frame.u16(frame_field::temperature) - kTemperatureOffset));
}

// The fields the graph plots, read straight from a stored frame.
inline std::uint16_t storedHumidity(const SampleFrame &f) { return f.u16(frame_field::humidity); }
inline std::int16_t storedTemperature(const SampleFrame &f) { return f.s16(frame_field::temperature); }
inline std::uint16_t storedSpeed(const SampleFrame &f) { return f.u16(frame_field::speed); }
inline std::uint16_t storedArea(const SampleFrame &f) { return f.u16(frame_field::area); }

// A stored frame's reading.
Reading decodeFrame(const SampleFrame &frame);

// One frame in readable form, for encoding. The enumerations carry the codes
// as the instrument sends them; any other code can be cast in to test
// decoding.
struct FrameFields {
    enum class Quantity : std::uint8_t { WindSpeed = 0, Neither = 1, AirFlow = 2 };
    enum class Derived : std::uint8_t { None = 0, DewPoint = 1, WetBulb = 2 };
    enum class Hold : std::uint8_t { Current = 0, Max = 1, Min = 2 };

    Quantity quantity = Quantity::WindSpeed; // status A bits 2-0
    bool fahrenheit = false;                 // status A bit 3
    bool areaInFeet = false;                 // status A bit 4
    Derived derived = Derived::None;         // status A bits 7-5
    int multiplier = 1;                      // status B: 100 -> bit 7, 10 -> bit 6, else none
    std::uint8_t unit = 0;                   // status B bits 4-2 (0-7)
    Hold hold = Hold::Current;               // status B bits 1-0
    std::uint16_t humidity = 0;              // tenths of %RH
    int temperature = 0;                     // tenths of °C; the wire carries it + 300
    std::uint16_t reading = 0;               // unit steps, before the multiplier
    std::uint16_t speed = 0;                 // hundredths of m/s
    std::uint16_t spare = 0;
    unsigned area = 0;                       // thousandths of m² or ft², 0-9999, sent as BCD
};

// Four decimal digits (value mod 10000) as packed BCD, thousands highest.
std::uint16_t packBcd(unsigned value);

// The 16 bytes as the instrument sends them.
SampleFrame wireFrame(const FrameFields &fields);
// The same frame as the store keeps it (temperature corrected).
SampleFrame storedFrame(const FrameFields &fields);
