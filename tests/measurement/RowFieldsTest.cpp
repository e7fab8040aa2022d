// SPDX-License-Identifier: GPL-3.0-or-later
// The names and texts of a row's fields, shared by every machine-readable output.
#include "RowFields.h"

#include <gtest/gtest.h>

namespace {

TEST(RowFields, OneVocabularyForEveryFormat)
{
    struct Case {
        Reading r;
        const char *mode, *value, *unit, *temperature, *temperatureUnit, *marker, *hold;
    };
    Reading wind{.value = 538, .humidity = 509, .temperature = 246, .speed = 538, .area = 0x1234};
    wind.marker = Marker::dewPoint;
    Reading flow = wind;
    flow.mode = Quantity::flow;
    flow.unit = 2; // CFM, tenths
    flow.value = 12345;
    flow.fahrenheit = 1;
    flow.marker = Marker::none;
    flow.hold = Hold::min;
    Reading none = wind;
    none.mode = Quantity::none;
    none.hold = Hold::max;
    const Case cases[] = {
        {wind, "speed", "5.38", "m/s", "24.6", "C", "DP", "current"},
        {flow, "flow", "1234.5", "CFM", "76.3", "F", "", "min"},
        {none, "none", "", "", "24.6", "C", "DP", "max"},
    };
    for (const Case &c : cases) {
        RowRecord row;
        row.seq = 7;
        row.time = {1796729371512, 3600};
        row.reading = c.r;
        row.frame.bytes[0] = 0xEB;
        row.frame.bytes[15] = 0x0A;
        const RowFields f = rowFields(row);
        EXPECT_EQ(f.mode.toStdString(), c.mode);
        EXPECT_EQ(f.value.toStdString(), c.value) << c.mode;
        EXPECT_EQ(f.unit.toStdString(), c.unit) << c.mode;
        EXPECT_EQ(f.temperature.toStdString(), c.temperature) << c.mode;
        EXPECT_EQ(f.temperatureUnit.toStdString(), c.temperatureUnit) << c.mode;
        EXPECT_EQ(f.marker.toStdString(), c.marker) << c.mode;
        EXPECT_EQ(f.hold.toStdString(), c.hold) << c.mode;
        EXPECT_EQ(f.rh, QStringLiteral("50.9"));
        EXPECT_EQ(f.speed, QStringLiteral("5.38"));
        EXPECT_EQ(f.area, QStringLiteral("1.234"));
        EXPECT_EQ(f.time, QStringLiteral("2026-12-08T12:29:31.512+01:00"));
        EXPECT_EQ(f.frame, QStringLiteral("eb00000000000000000000000000000a"));
    }
}

} // namespace
