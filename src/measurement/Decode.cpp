// SPDX-License-Identifier: GPL-3.0-or-later
#include "Decode.h"

#include "SampleFrame.h"

LatestReading decodeFrame(const SampleFrame &frame)
{
    LatestReading r;
    const std::uint8_t statusA = frame.bytes[frame_field::statusA];
    const std::uint8_t statusB = frame.bytes[frame_field::statusB];

    r.humidity = frame.u16(frame_field::humidity);
    r.temperature = frame.s16(frame_field::temperature);
    r.fahrenheit = (statusA >> 3) & 1;

    // Derived temperature, bits 7-5: only 001 and 010 mean something.
    switch ((statusA >> 5) & 0x7) {
    case 1:
        r.dewWet = 1;
        break;
    case 2:
        r.dewWet = 2;
        break;
    default:
        r.dewWet = 0;
        break;
    }
    r.areaInFeet = (statusA >> 4) & 1;

    // Quantity code, bits 2-0: 2 is air flow, 1 is neither, the rest wind speed.
    switch (statusA & 0x7) {
    case 1:
        r.mode = quantity::neither;
        break;
    case 2:
        r.mode = quantity::airFlow;
        break;
    default:
        r.mode = quantity::windSpeed;
        break;
    }

    if (statusB & 0x80)
        r.multiplier = 100;
    else if (statusB & 0x40)
        r.multiplier = 10;
    else
        r.multiplier = 1;
    r.unit = (statusB >> 2) & 0x7;
    r.hold = statusB & 0x3;

    r.value = frame.u16(frame_field::reading);
    r.speed = frame.u16(frame_field::speed);
    r.spare = frame.u16(frame_field::spare);
    r.area = frame.u16(frame_field::area);
    r.value *= r.multiplier;
    return r;
}

ReadingRow toRow(const LatestReading &r)
{
    ReadingRow row;
    row.humidity = r.humidity;
    row.temperature = r.temperature;
    row.value = r.value;
    row.speed = r.speed;
    row.area = r.area;
    row.spare = r.spare;
    row.fahrenheit = r.fahrenheit;
    row.dewWet = r.dewWet;
    row.mode = r.mode;
    row.multiplier = r.multiplier;
    row.unit = r.unit;
    row.hold = r.hold;
    return row;
}
