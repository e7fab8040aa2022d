// SPDX-License-Identifier: GPL-3.0-or-later
// Full timestamps as every output of our own writes them.
#include "Timestamp.h"

#include <gtest/gtest.h>

namespace {

TEST(Timestamp, IsoTextAndTimeOfDay)
{
    struct Case {
        std::int64_t unixMs;
        std::int32_t offsetS;
        const char *iso;
        int secondOfDay;
    };
    const Case cases[] = {
        {0, 0, "1970-01-01T00:00:00.000+00:00", 0},
        {1796729371512, 3600, "2026-12-08T12:29:31.512+01:00", 44971},
        {1796729371512, -5 * 3600 - 1800, "2026-12-08T05:59:31.512-05:30", 21571},
        {951825599999, 0, "2000-02-29T11:59:59.999+00:00", 43199}, // a leap day
        {-1, 0, "1969-12-31T23:59:59.999+00:00", 86399},           // before 1970
        {1796774399000, 3600, "2026-12-09T00:59:59.000+01:00", 3599},  // across local midnight
    };
    for (const Case &c : cases) {
        const Timestamp t{c.unixMs, c.offsetS};
        EXPECT_EQ(t.isoText().toStdString(), c.iso);
        EXPECT_EQ(t.secondOfDay(), c.secondOfDay) << c.iso;
    }
}

// The offset in force at each moment: in a zone with summer time on both
// sides of each change (01:00 UTC), and now() from the zone too.
TEST(Timestamp, TheLocalOffsetFollowsTheZonesRules)
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(Timestamp::at(1774745999999).isoText().toStdString(), "2026-03-29T01:59:59.999+01:00");
    EXPECT_EQ(Timestamp::at(1774746000000).isoText().toStdString(), "2026-03-29T03:00:00.000+02:00");
    EXPECT_EQ(Timestamp::at(1792889999999).isoText().toStdString(), "2026-10-25T02:59:59.999+02:00");
    EXPECT_EQ(Timestamp::at(1792890000000).isoText().toStdString(), "2026-10-25T02:00:00.000+01:00");
    setenv("TZ", "IST-5:30", 1); // POSIX form: no zone database needed
    tzset();
    EXPECT_EQ(Timestamp::now().utcOffsetS, 5 * 3600 + 1800);
    unsetenv("TZ");
    tzset();
}

} // namespace
