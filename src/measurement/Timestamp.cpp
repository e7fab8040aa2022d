// SPDX-License-Identifier: GPL-3.0-or-later
#include "Timestamp.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's
// civil_from_days), so no time zone database is consulted per row.
void civilFromDays(std::int64_t z, int &year, int &month, int &day)
{
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

} // namespace

Timestamp Timestamp::now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return at(std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}

Timestamp Timestamp::at(std::int64_t unixMs)
{
    Timestamp t;
    t.unixMs = unixMs;
    std::tm local{};
    const std::time_t seconds = std::time_t(floorDiv(unixMs, 1000));
    if (::localtime_r(&seconds, &local))
        t.utcOffsetS = std::int32_t(local.tm_gmtoff);
    return t;
}

Timestamp Timestamp::ofTimeOfDay(int msOfDay)
{
    Timestamp t;
    t.unixMs = msOfDay;
    return t;
}

int Timestamp::secondOfDay() const
{
    const std::int64_t ms = localMs();
    return int((ms - floorDiv(ms, kMsPerDay) * kMsPerDay) / 1000);
}

QString Timestamp::isoText() const
{
    const std::int64_t ms = localMs();
    const std::int64_t days = floorDiv(ms, kMsPerDay);
    const std::int64_t inDay = ms - days * kMsPerDay;
    int year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    const int offsetMin = (utcOffsetS < 0 ? -utcOffsetS : utcOffsetS) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", year, month, day,
                  int(inDay / 3600000), int(inDay / 60000 % 60), int(inDay / 1000 % 60), int(inDay % 1000),
                  utcOffsetS < 0 ? '-' : '+', offsetMin / 60, offsetMin % 60);
    return QString::fromLatin1(text);
}
