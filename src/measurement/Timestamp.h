// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row's full wall-clock time: UTC milliseconds plus the local offset from
// UTC at that moment. The list shows only the time of day; every output of
// our own writes the whole of it, so runs across midnight, days and clock
// changes stay in order and unambiguous.

#include <QString>

#include <cstdint>

struct Timestamp {
    std::int64_t unixMs = 0;     // milliseconds since 1970-01-01T00:00:00Z
    std::int32_t utcOffsetS = 0; // local time minus UTC, in seconds

    // The PC's clock now, with the local offset in force now.
    static Timestamp now();
    // `unixMs` with the local offset in force at that moment (summer time
    // or not, as the time zone's rules say).
    static Timestamp at(std::int64_t unixMs);
    // A time of day on 1970-01-01 at UTC, for callers that only have that.
    static Timestamp ofTimeOfDay(int msOfDay);

    // Local milliseconds since 1970-01-01T00:00:00 (the offset applied).
    std::int64_t localMs() const { return unixMs + std::int64_t(utcOffsetS) * 1000; }
    // Local second of the day, 0 to 86399.
    int secondOfDay() const;

    // "2026-12-08T11:29:31.512+01:00" ("Z" is never used: the offset is
    // always written, "+00:00" for UTC).
    QString isoText() const;

    friend bool operator==(const Timestamp &, const Timestamp &) = default;
};
