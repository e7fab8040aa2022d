// SPDX-License-Identifier: GPL-3.0-or-later
// When a silent port is told: after 30 s, then each time the silence has
// doubled, at most an hour apart; a row starts the count again.
#include "NoDataWatch.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(NoDataWatch, WarnsAtDoublingSilenceUpToHourly)
{
    NoDataWatch watch;
    const struct {
        std::chrono::milliseconds wait;
        const char *said;
    } expected[] = {{30s, "30 s"}, {30s, "60 s"}, {60s, "2 min"}, {120s, "4 min"}, {240s, "8 min"},
                    {480s, "16 min"}, {960s, "32 min"}, {1920s, "64 min"}, {3600s, "2 h"}, {3600s, "3 h"}};
    for (const auto &e : expected) {
        EXPECT_EQ(watch.untilNext(), e.wait) << e.said;
        EXPECT_EQ(watch.warn(QStringLiteral("/dev/ttyUSB0")),
                  QStringLiteral("no data from /dev/ttyUSB0 for %1: is the instrument on and sending?")
                      .arg(QLatin1String(e.said)));
    }
    watch.restart();
    EXPECT_EQ(watch.untilNext(), 30s);
}
