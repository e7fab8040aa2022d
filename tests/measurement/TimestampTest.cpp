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

TEST(Timestamp, NowCarriesTheLocalOffset)
{
    setenv("TZ", "IST-5:30", 1); // POSIX form: no zone database needed
    tzset();
    EXPECT_EQ(Timestamp::now().utcOffsetS, 5 * 3600 + 1800);
    unsetenv("TZ");
    tzset();
}

} // namespace
