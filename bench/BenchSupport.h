// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the benchmark programs share: the process's own figures from /proc,
// the recording every list and export benchmark fills, and small statistics.
//
// Every program reports its figures as Google Benchmark counters; bench/run
// collects the JSON and prints each figure beside its baseline.

#include "Reading.h"

#include <QTime>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A figure of /proc/self/status ("VmRSS", "VmHWM"), or of another
// process's status file, in kB; -1 when absent.
inline long statusKb(const char *key, const std::string &path = "/proc/self/status")
{
    std::ifstream status(path);
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

inline long residentKb() { return statusKb("VmRSS"); }

// Lets VmHWM start again from the present resident size.
inline void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Bytes the allocator has handed out and not had back: exact where resident
// pages are too coarse (a thousand rows of the list fit in a few pages).
inline std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// User plus system time, in seconds, from fields 14 and 15 of a stat file:
// /proc/self/stat for the whole process (every thread, also those ended),
// /proc/self/task/TID/stat for one thread.
inline double cpuSecondsOf(const std::string &statPath)
{
    std::ifstream stat(statPath);
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses: count from its end.
    const std::size_t close = all.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < all.size() && fields.size() < 13) {
        const std::size_t end = all.find(' ', at);
        fields.push_back(all.substr(at, end - at));
        at = end == std::string::npos ? all.size() : end + 1;
    }
    if (fields.size() < 13)
        return 0;
    // fields[0] is field 3 (state): utime is field 14, stime field 15.
    const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

inline double processCpuSeconds() { return cpuSecondsOf("/proc/self/stat"); }

// The thread that runs main(), the user-interface thread of a Qt program.
inline double mainThreadCpuSeconds() { return cpuSecondsOf("/proc/self/task/" + std::to_string(getpid()) + "/stat"); }

// The row of sample `i` of a recording as the instrument makes it: wind
// speed in m/s, no marker, slowly changing value, humidity and temperature.
inline Reading sampleRow(int i)
{
    Reading r;
    r.mode = Quantity::speed;
    r.unit = 0;
    r.multiplier = 1;
    r.value = std::uint32_t(i * 37 % 3000);
    r.humidity = std::uint32_t(400 + i % 300);
    r.temperature = std::int16_t(150 + i % 200);
    return r;
}

// One row a second from midnight on.
inline QTime sampleTime(int i) { return QTime::fromMSecsSinceStartOfDay(i % 86400 * 1000); }

// The p-th quantile (0..1) by nearest rank.
inline double quantile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t rank = std::size_t(std::max(1.0, std::ceil(p * double(v.size()))));
    return v[std::min(rank, v.size()) - 1];
}

inline double median(std::vector<double> v) { return quantile(std::move(v), 0.5); }

// Widget programs run without a display unless told otherwise.
inline void useOffscreenPlatform() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }

} // namespace bench
