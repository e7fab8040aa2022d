// SPDX-License-Identifier: GPL-3.0-or-later
#include "Frame.h"

Reading decodeFrame(const SampleFrame &frame)
{
    Reading r;
    const std::uint8_t statusA = frame.bytes[frame_field::statusA];
    const std::uint8_t statusB = frame.bytes[frame_field::statusB];

    r.humidity = frame.u16(frame_field::humidity);
    r.temperature = frame.s16(frame_field::temperature);
    r.fahrenheit = (statusA >> 3) & 1;
    r.areaInFeet = (statusA >> 4) & 1;

    // Derived temperature, bits 7-5: only 001 and 010 mean something.
    switch ((statusA >> 5) & 0x7) {
    case 1: r.marker = Marker::dewPoint; break;
    case 2: r.marker = Marker::wetBulb; break;
    default: r.marker = Marker::none; break;
    }
    // Quantity code, bits 2-0: 2 is air flow, 1 is neither, the rest wind speed.
    switch (statusA & 0x7) {
    case 1: r.mode = Quantity::none; break;
    case 2: r.mode = Quantity::flow; break;
    default: r.mode = Quantity::speed; break;
    }

    r.multiplier = (statusB & 0x80) ? 100 : (statusB & 0x40) ? 10 : 1;
    r.unit = (statusB >> 2) & 0x7;
    // Hold, bits 1-0: 1 MAX, 2 MIN; 0 and 3 are the live reading.
    switch (statusB & 0x3) {
    case 1: r.hold = Hold::max; break;
    case 2: r.hold = Hold::min; break;
    default: r.hold = Hold::current; break;
    }

    r.value = std::uint32_t(frame.u16(frame_field::reading)) * r.multiplier;
    r.speed = frame.u16(frame_field::speed);
    r.spare = frame.u16(frame_field::spare);
    r.area = frame.u16(frame_field::area);
    return r;
}

std::uint16_t packBcd(unsigned value)
{
    value %= 10000;
    return static_cast<std::uint16_t>((value / 1000) << 12 | (value / 100 % 10) << 8 | (value / 10 % 10) << 4 |
                                      (value % 10));
}

SampleFrame wireFrame(const FrameFields &f)
{
    SampleFrame frame;
    frame.bytes[0] = SampleFrame::kSync1;
    frame.bytes[1] = SampleFrame::kSync2;
    frame.bytes[frame_field::statusA] =
        static_cast<std::uint8_t>((static_cast<unsigned>(f.quantity) & 0x07) | (f.fahrenheit ? 0x08 : 0) |
                                  (f.areaInFeet ? 0x10 : 0) | (static_cast<unsigned>(f.derived) & 0x07) << 5);
    const unsigned range = f.multiplier == 100 ? 0x80 : f.multiplier == 10 ? 0x40 : 0;
    frame.bytes[frame_field::statusB] =
        static_cast<std::uint8_t>(range | (f.unit & 0x07u) << 2 | (static_cast<unsigned>(f.hold) & 0x03));
    frame.setU16(frame_field::humidity, f.humidity);
    frame.setU16(frame_field::temperature, static_cast<std::uint16_t>(f.temperature + kTemperatureOffset));
    frame.setU16(frame_field::reading, f.reading);
    frame.setU16(frame_field::speed, f.speed);
    frame.setU16(frame_field::spare, f.spare);
    frame.setU16(frame_field::area, packBcd(f.area));
    return frame;
}

SampleFrame storedFrame(const FrameFields &fields)
{
    SampleFrame frame = wireFrame(fields);
    correctTemperature(frame);
    return frame;
}
