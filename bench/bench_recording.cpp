// SPDX-License-Identifier: GPL-3.0-or-later
// The window while it records from a pseudo-terminal:
// - CPU: percent of one core over 20 s, recording from the simulated
//   instrument (2 frames a second, period 0.5 s), beside the same process
//   idle for 20 s with acquisition stopped; without and with the journal. utime + stime of the whole
//   process from /proc/self/stat. The instrument runs in a child process
//   forked before Qt or any thread exists, so its writer is not counted.
// - Latency: from the moment the last byte of a frame is written into the
//   pseudo-terminal to the moment its row is added to the list, over 200
//   frames written at random moments, beside the bound that the reader's and
//   the clock's own pacing set: 16 bytes at one byte per 10 ms pass, plus up
//   to one period, plus the clock's 10 ms poll and the 5 ms hand-off timer.
// - Reader pace: bytes taken per second from a long run of bytes that never
//   make a frame (10 s of acquisition alone, no window), beside the hundred
//   a second that its 10 ms pause before every byte allows at most. What is
//   left is read from the terminal's input queue through a descriptor opened
//   before START and never read.
#include "Acquisition.h"
#include "BenchSupport.h"
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "Cwave.h"
#include "Dialogs.h"
#include "SampleStore.h"
#include "Simulator.h"

#include <QApplication>
#include <QDir>
#include <map>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <memory>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPeriodMs = 500; // the period box's first item, "0.5s"
constexpr double kMeasureSeconds = 20;
constexpr int kLatencySamples = 200;
constexpr int kGarbageBytes = 3000; // fits the terminal's 4096-byte input queue
constexpr double kPaceSeconds = 10;

std::string instrumentPath; // the child instrument's pty, empty if none
pid_t instrumentPid = -1;
int instrumentKeepAlive = -1; // closing it ends the child

// Forks the simulated instrument. The child sends its pty's path through a
// pipe and runs until the parent closes the other one (or dies).
void forkInstrument()
{
    int path[2], alive[2];
    if (::pipe(path) != 0 || ::pipe(alive) != 0)
        return;
    instrumentPid = ::fork();
    if (instrumentPid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(path[0]);
        ::close(alive[1]);
        Simulator instrument;
        Simulator::Settings settings;
        settings.framesPerSecond = 2.0;
        instrument.setSettings(settings);
        std::string why;
        const std::string slave = instrument.open(&why) && instrument.start() ? instrument.slavePath() : std::string();
        [[maybe_unused]] ssize_t n = ::write(path[1], slave.c_str(), slave.size() + 1);
        ::close(path[1]);
        char byte;
        while (::read(alive[0], &byte, 1) > 0) {
        }
        instrument.stop();
        ::_exit(0);
    }
    ::close(path[1]);
    ::close(alive[0]);
    instrumentKeepAlive = alive[1];
    char buffer[256] = {};
    std::size_t got = 0;
    ssize_t n;
    while (got < sizeof buffer - 1 && (n = ::read(path[0], buffer + got, sizeof buffer - 1 - got)) > 0) {
        got += std::size_t(n);
        if (buffer[got - 1] == '\0')
            break;
    }
    ::close(path[0]);
    instrumentPath = buffer;
}

void endInstrument()
{
    if (instrumentKeepAlive >= 0)
        ::close(instrumentKeepAlive);
    if (instrumentPid > 0)
        ::waitpid(instrumentPid, nullptr, 0);
}

// A message box would wait for a click that never comes: messages go to
// standard error instead, and the run goes on to report its failure.
struct PrintedDialogs : Dialogs {
    void message(QWidget *, const QString &caption, const QString &text, MessageIcon) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    }
    QString savePath(QWidget *, const QString &, bool) override { return {}; }
};

void runEventLoop(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

struct CpuShare {
    double process = 0; // percent of one core, every thread
    double ui = 0;      // the user-interface thread's part of it
};

// What the process used while the event loop ran `seconds`.
CpuShare cpuPercentOver(double seconds)
{
    const double cpu0 = bench::processCpuSeconds();
    const double ui0 = bench::mainThreadCpuSeconds();
    const auto start = bench::Clock::now();
    runEventLoop(seconds);
    const double wall = bench::secondsSince(start);
    return {(bench::processCpuSeconds() - cpu0) / wall * 100.0, (bench::mainThreadCpuSeconds() - ui0) / wall * 100.0};
}

// Recording in the window, with its journal kept in `journalFolder` (none
// when empty).
void measureCpu(benchmark::State &state, const QString &journalFolder)
{
    if (instrumentPath.empty()) {
        state.SkipWithError("the simulated instrument did not start");
        for (auto _ : state) {
        }
        return;
    }
    CbreezonApp app({{QStringLiteral("SIM"), QString::fromStdString(instrumentPath)}}, 1920);
    app.frame().journal().setFolder(journalFolder);
    app.show();
    Cwave &wave = app.frame().wave();
    runEventLoop(1); // the window settles (its list repaints once after 200 ms)
    for (auto _ : state) {
        const CpuShare idle = cpuPercentOver(kMeasureSeconds);
        wave.startStop();
        if (!wave.isRunning())
            state.SkipWithError("START failed");
        const int rows0 = app.frame().list().itemCount();
        auto snap = [] { std::map<std::string, double> m; QDir d("/proc/self/task"); for (const QString &t : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) m[t.toStdString()] = bench::cpuSecondsOf("/proc/self/task/" + t.toStdString() + "/stat"); return m; };
        auto before = snap();
        const CpuShare recording = cpuPercentOver(kMeasureSeconds);
        auto after = snap();
        if (getenv("THREADS")) for (auto &[t, v] : after) std::fprintf(stderr, "thread %s: %.2f s\n", t.c_str(), v - before[t]);
        const int rows = app.frame().list().itemCount() - rows0;
        wave.startStop();
        state.SetIterationTime(2 * kMeasureSeconds);
        state.counters["recording_pct"] = recording.process;
        state.counters["recording_ui_pct"] = recording.ui;
        state.counters["idle_pct"] = idle.process;
        state.counters["rows"] = rows;
        state.counters["clock_ticks_per_s"] = double(sysconf(_SC_CLK_TCK));
    }
}

void recordingCpu(benchmark::State &state) { measureCpu(state, {}); }
BENCHMARK(recordingCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The same with the window's journal on, written beside the build (on the
// disk a user's home would be on).
void recordingCpuJournal(benchmark::State &state)
{
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/bench-journal-XXXXXX"));
    measureCpu(state, folder.path());
}
BENCHMARK(recordingCpuJournal)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void rowLatency(benchmark::State &state)
{
    Simulator instrument; // its writer is never started: frames are written here
    std::string why;
    if (!instrument.open(&why)) {
        state.SkipWithError(why.c_str());
        for (auto _ : state) {
        }
        return;
    }
    CbreezonApp app({{QStringLiteral("PTY"), QString::fromStdString(instrument.slavePath())}}, 1920);
    app.show();
    Cwave &wave = app.frame().wave();
    runEventLoop(0.5);

    std::vector<double> latencies;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMs(0, kPeriodMs);
    bench::Clock::time_point written{};
    bool waiting = false;
    QEventLoop done;
    QTimer watchdog; // a frame that never becomes a row ends the run
    watchdog.setSingleShot(true);
    watchdog.setInterval(5000);
    QObject::connect(&watchdog, &QTimer::timeout, &done, &QEventLoop::quit);

    int sent = 0;
    auto writeFrame = [&] {
        FrameFields f;
        f.humidity = std::uint16_t(450 + sent % 50);
        f.temperature = 215;
        f.reading = std::uint16_t(100 + sent % 900);
        f.speed = f.reading;
        f.area = 250;
        const SampleFrame frame = wireFrame(f);
        if (!instrument.writeRaw(frame.bytes.data(), frame.bytes.size()))
            done.quit();
        written = bench::Clock::now();
        waiting = true;
        ++sent;
        watchdog.start();
    };
    QObject::connect(&app.frame().list().model(), &ReadingListModel::rowAdded, &done, [&] {
        const auto arrived = bench::Clock::now();
        if (!waiting)
            return;
        waiting = false;
        latencies.push_back(std::chrono::duration<double, std::milli>(arrived - written).count());
        if (int(latencies.size()) >= kLatencySamples) {
            done.quit();
            return;
        }
        // Written at a random moment of the clock's cycle, after the row's
        // hand-off has cleared `pending`.
        QTimer::singleShot(delayMs(random), &done, writeFrame);
    });

    for (auto _ : state) {
        const auto start = bench::Clock::now();
        wave.startStop();
        if (!wave.isRunning())
            state.SkipWithError("START failed");
        QTimer::singleShot(0, &done, writeFrame);
        done.exec();
        wave.startStop();
        state.SetIterationTime(bench::secondsSince(start));
        if (int(latencies.size()) < kLatencySamples)
            state.SkipWithError("a frame written did not become a row");
        state.counters["median_ms"] = bench::median(latencies);
        state.counters["p99_ms"] = bench::quantile(latencies, 0.99);
        state.counters["max_ms"] = bench::quantile(latencies, 1.0);
        state.counters["min_ms"] = bench::quantile(latencies, 0.0);
        state.counters["bound_ms"] = 16 * 10 + kPeriodMs + 10 + 5;
        state.counters["samples"] = double(latencies.size());
    }
}
BENCHMARK(rowLatency)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void readerPace(benchmark::State &state)
{
    Simulator instrument; // its writer is never started: the bytes are written here
    std::string why;
    if (!instrument.open(&why)) {
        state.SkipWithError(why.c_str());
        for (auto _ : state) {
        }
        return;
    }
    const int queue = ::open(instrument.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    SampleStore store;
    Acquisition acquisition(store);
    for (auto _ : state) {
        if (queue < 0 || acquisition.start(QString::fromStdString(instrument.slavePath()), kPeriodMs) !=
                             Acquisition::StartResult::Started) {
            state.SkipWithError("the pseudo-terminal cannot be opened");
            break;
        }
        // START flushed the line; the reader now waits for its first byte.
        const std::vector<std::uint8_t> garbage(kGarbageBytes, 0x00);
        instrument.writeRaw(garbage.data(), garbage.size());
        const auto start = bench::Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(kPaceSeconds));
        int left = 0;
        ::ioctl(queue, FIONREAD, &left);
        const double elapsed = bench::secondsSince(start);
        acquisition.stop();
        state.SetIterationTime(elapsed);
        if (left <= 0)
            state.SkipWithError("the reader took every byte: the run was too short to measure its pace");
        state.counters["bytes_per_s"] = (kGarbageBytes - left) / elapsed;
        state.counters["bound_bytes_per_s"] = 1000.0 / 10;
    }
    if (queue >= 0)
        ::close(queue);
}
BENCHMARK(readerPace)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    // Before Qt and before any thread: the instrument's process.
    forkInstrument();
    bench::useOffscreenPlatform();
    int status = 0;
    PrintedDialogs printed;
    installDialogs(&printed);
    {
        QApplication application(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    endInstrument();
    return status;
}
