// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: from process start to the end of the main window's first paint,
// offscreen, for breezon (bench_startup_breezon does what main() does) and
// for a bare QMainWindow program (bench_startup_bare). Both are spawned in
// turn, so that a change in the machine's load falls on both alike; the
// figures are medians. Beside them, the time the system's serial port list
// takes, the largest single step of breezon's start-up.
#include "BenchSupport.h"
#include "PortDiscovery.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kRuns = 20;

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::string besideMe(const char *name)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? std::size_t(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

struct Run {
    double toAppMs = -1;   // spawn to the making of the application object
    double toPaintMs = -1; // spawn to the end of the first paint
    double toExitMs = -1;  // spawn to the process's end
};

// Spawns `program`, reads the time of its first paint from its output.
Run startOnce(const std::string &program)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};

    Run run;
    const long long start = monotonicNs();
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (failed) {
        ::close(out[0]);
        return run;
    }
    std::string text;
    char buffer[64];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const long long end = monotonicNs();
    const std::size_t newline = text.find('\n');
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && newline != std::string::npos &&
        newline + 1 < text.size()) {
        run.toAppMs = double(std::stoll(text.substr(0, newline)) - start) / 1e6;
        run.toPaintMs = double(std::stoll(text.substr(newline + 1)) - start) / 1e6;
        run.toExitMs = double(end - start) / 1e6;
    }
    return run;
}

void startup(benchmark::State &state)
{
    bench::useOffscreenPlatform();
    const std::string breezon = besideMe("bench_startup_breezon");
    const std::string bare = besideMe("bench_startup_bare");
    for (auto _ : state) {
        // One of each first, so that both find their files in the cache.
        startOnce(breezon);
        startOnce(bare);
        std::vector<double> breezonPaint, barePaint, breezonExit, bareExit, breezonApp, bareApp;
        bool ok = true;
        for (int i = 0; i < kRuns; ++i) {
            const Run a = startOnce(breezon);
            const Run b = startOnce(bare);
            ok = ok && a.toPaintMs >= 0 && b.toPaintMs >= 0;
            breezonApp.push_back(a.toAppMs);
            bareApp.push_back(b.toAppMs);
            breezonPaint.push_back(a.toPaintMs);
            breezonExit.push_back(a.toExitMs);
            barePaint.push_back(b.toPaintMs);
            bareExit.push_back(b.toExitMs);
        }
        if (!ok)
            state.SkipWithError("a start-up program failed");
        state.SetIterationTime(bench::median(breezonPaint) / 1e3);
        state.counters["breezon_ms"] = bench::median(breezonPaint);
        state.counters["bare_ms"] = bench::median(barePaint);
        state.counters["breezon_exit_ms"] = bench::median(breezonExit);
        state.counters["bare_exit_ms"] = bench::median(bareExit);
        state.counters["breezon_to_app_ms"] = bench::median(breezonApp);
        state.counters["bare_to_app_ms"] = bench::median(bareApp);
        state.counters["runs"] = kRuns;
        // The part of breezon's start-up that asks the system for its serial
        // ports, the first time in a process, as main() does.
        const auto discovery = bench::Clock::now();
        benchmark::DoNotOptimize(systemSerialPorts());
        state.counters["port_discovery_ms"] = bench::secondsSince(discovery) * 1e3;
    }
}
BENCHMARK(startup)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
