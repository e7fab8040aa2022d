// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One 16-byte frame of the instrument, as received and as kept in the store.
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
