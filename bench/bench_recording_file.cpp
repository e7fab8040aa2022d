// SPDX-License-Identifier: GPL-3.0-or-later
// The recording file:
// - journalAppend: what adding a row to the window's journal costs the
//   user-interface thread (the writer thread does the disk work), median
//   over 1,000 rows two milliseconds apart, beside syncAppend, the
//   recorder's add that returns only once the row is on the disk;
// - openInWindow: reopening a recording of 1,000,000 rows in the window,
//   time and the process's peak resident memory, beside readFloor, SQLite
//   reading the same rows and nothing else, and the window's own memory
//   before opening;
// - fromToSpreadsheet: breezon-record --from the same file to a spreadsheet,
//   beside today's spreadsheet export of the same rows from the list, with
//   the same columns (the recorder's file adds column I, the timestamps);
//   run in turn, each the fastest of three runs, as the machine's other work
//   slows single runs by seconds.
//
// - statisticsOfReopened: the run's statistics of the same 1,000,000 rows,
//   counted as the window's sink counts them while it opens the file, and
//   the texts of the whole and of the last page made once at the end, as
//   the Statistics window makes them, beside reading the rows alone (the
//   floor of opening them); also the file's own view over them;
// - statisticsPerRow: what counting a live row costs the window's
//   user-interface thread (median over 1,000 rows, the Statistics window
//   open), beside the row's own cost there (the session's hand-off to every
//   sink of the window), and one refresh of the window's text.
//
// The 1,000,000-row file is made once (one transaction, through the same
// schema and writer as the program) and kept in the temporary folder.
#include "BenchSupport.h"
#include "KeptRecording.h"
#include "OffscreenMain.h"
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "Cwave.h"
#include "Frame.h"
#include "GraphMath.h"
#include "RecordingFileOutput.h"
#include "RecordingFileReader.h"
#include "RunStatistics.h"
#include "SpreadsheetExport.h"
#include "StatisticsText.h"
#include "StatisticsWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kRows = 1000000;

RowRecord sampleRecord(int i)
{
    const Reading r = bench::sampleRow(i);
    RowRecord row;
    row.seq = i;
    row.time = {1796729371512 + std::int64_t(i) * 1000, 3600};
    SampleFrame &f = row.frame;
    f.bytes[0] = SampleFrame::kSync1;
    f.bytes[1] = SampleFrame::kSync2;
    f.setU16(frame_field::humidity, std::uint16_t(r.humidity));
    f.setU16(frame_field::temperature, std::uint16_t(r.temperature));
    f.setU16(frame_field::reading, std::uint16_t(r.value));
    f.setU16(frame_field::speed, std::uint16_t(r.value));
    f.setU16(frame_field::area, 0x0250);
    row.reading = decodeFrame(f);
    return row;
}

QString millionRowFile()
{
    return bench::keptRecording(QStringLiteral("breezon-bench-1M.breezon"), kRows, sampleRecord);
}

// Microseconds each add() took on the calling thread, rows `gap` apart.
std::vector<double> timeAdds(RecordingFileOutput &out, int rows, std::chrono::microseconds gap)
{
    std::vector<double> us;
    for (int i = 0; i < rows; ++i) {
        const RowRecord row = sampleRecord(i);
        const auto start = bench::Clock::now();
        out.add(row);
        us.push_back(bench::secondsSince(start) * 1e6);
        std::this_thread::sleep_for(gap);
    }
    return us;
}

void appendBenchmark(benchmark::State &state, RecordingFileOutput::Mode mode, int rows)
{
    // Beside the build, on the same disk a user's home would be on.
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-journal-XXXXXX"));
    for (auto _ : state) {
        RecordingFileOutput out(dir.filePath(QStringLiteral("j.breezon")), OutputContext{}, mode);
        if (!out.open().ok)
            state.SkipWithError("the file cannot be written");
        const std::vector<double> us = timeAdds(out, rows, std::chrono::milliseconds(2));
        out.finish();
        out.settle();
        state.counters["median_us"] = bench::median(us);
        state.counters["p99_us"] = bench::quantile(us, 0.99);
        state.counters["max_us"] = bench::quantile(us, 1.0);
    }
}

void journalAppend(benchmark::State &state) { appendBenchmark(state, RecordingFileOutput::Mode::Background, 1000); }
BENCHMARK(journalAppend)->Iterations(1)->Unit(benchmark::kMillisecond);

void syncAppend(benchmark::State &state) { appendBenchmark(state, RecordingFileOutput::Mode::Synchronous, 200); }
BENCHMARK(syncAppend)->Iterations(1)->Unit(benchmark::kMillisecond);

void openInWindow(benchmark::State &state)
{
    const QString path = millionRowFile();
    CbreezonApp app({}, 1920);
    app.show();
    QCoreApplication::processEvents();
    const long before = bench::residentKb();
    bench::resetPeak();
    for (auto _ : state) {
        const auto start = bench::Clock::now();
        if (!app.openRecording(path) || app.frame().list().itemCount() != kRows)
            state.SkipWithError("the recording did not open whole");
        QCoreApplication::processEvents(); // its first paint
        state.counters["ms"] = bench::secondsSince(start) * 1e3;
    }
    state.counters["peak_MB"] = bench::statusKb("VmHWM") / 1024.0;
    state.counters["window_MB"] = before / 1024.0;
}
BENCHMARK(openInWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

// SQLite reading the same rows into nothing: the floor of any opening.
void readFloor(benchmark::State &state)
{
    const QString path = millionRowFile();
    for (auto _ : state) {
        const auto start = bench::Clock::now();
        RecordingFileReader reader;
        reader.open(path);
        RowRecord row;
        std::int64_t n = 0;
        while (reader.next(row))
            ++n;
        benchmark::DoNotOptimize(n);
        state.counters["ms"] = bench::secondsSince(start) * 1e3;
    }
}
BENCHMARK(readFloor)->Iterations(1)->Unit(benchmark::kMillisecond);

void statisticsOfReopened(benchmark::State &state)
{
    const QString path = millionRowFile();
    for (auto _ : state) {
        // The rows read beforehand, so only the counting is timed.
        auto start = bench::Clock::now();
        RecordingFileReader reader;
        reader.open(path);
        std::vector<RowRecord> rows;
        rows.reserve(kRows);
        RowRecord row;
        while (reader.next(row))
            rows.push_back(row);
        state.counters["read_ms"] = bench::secondsSince(start) * 1e3;
        if (rows.size() != std::size_t(kRows))
            state.SkipWithError("the recording did not read whole");

        start = bench::Clock::now();
        RunStatistics stats, page;
        for (const RowRecord &r : rows)
            stats.add(r);
        // The window's text at the end: the whole recording and its last page.
        for (std::size_t r = rows.size() - rows.size() % kSamplesPerPage; r < rows.size(); ++r)
            page.add(rows[r]);
        const QString text = statisticsTable(stats) + statisticsTable(page);
        benchmark::DoNotOptimize(text.size());
        state.counters["ms"] = bench::secondsSince(start) * 1e3;

        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        start = bench::Clock::now();
        if (sqlite3_exec(db, "SELECT * FROM statistics", nullptr, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError("the file has no view statistics");
        state.counters["view_ms"] = bench::secondsSince(start) * 1e3;
        sqlite3_close(db);
    }
}
BENCHMARK(statisticsOfReopened)->Iterations(1)->Unit(benchmark::kMillisecond);

void statisticsPerRow(benchmark::State &state)
{
    CbreezonApp app({}, 1920);
    app.show();
    StatisticsWindow &window = app.frame().statistics();
    window.present();
    Cwave &wave = app.frame().wave();
    Output *sink = nullptr;
    for (Output *s : wave.session().sinks())
        if (s->name() == QLatin1String("statistics"))
            sink = s;
    if (!sink) {
        state.SkipWithError("the window has no statistics sink");
        return;
    }
    QCoreApplication::processEvents();
    for (auto _ : state) {
        std::vector<double> rowUs, statisticsUs, refreshUs;
        for (int i = 0; i < 1000; ++i) {
            const RowRecord next = sampleRecord(i);
            app.frame().store().append(next.frame);
            auto start = bench::Clock::now();
            wave.onSampleTimer();
            rowUs.push_back(bench::secondsSince(start) * 1e6);
            // The same row once more, into the statistics alone.
            start = bench::Clock::now();
            sink->add(next);
            statisticsUs.push_back(bench::secondsSince(start) * 1e6);
            if (i % 10 == 0) {
                start = bench::Clock::now();
                window.refresh();
                refreshUs.push_back(bench::secondsSince(start) * 1e6);
            }
            QCoreApplication::processEvents(); // the paint, as between two samples
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        state.counters["statistics_median_us"] = bench::median(statisticsUs);
        state.counters["row_median_us"] = bench::median(rowUs);
        state.counters["refresh_median_us"] = bench::median(refreshUs);
    }
}
BENCHMARK(statisticsPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);

std::string besideMe(const char *relative)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, n > 0 ? std::size_t(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + relative;
}

// One run of `program` with `args`, standard output thrown away; its
// seconds, or -1 when it failed.
double timeRun(const std::string &program, std::vector<std::string> args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), program);
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = bench::Clock::now();
    pid_t pid = -1;
    int status = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, &status, 0);
    const double seconds = bench::secondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    return status == 0 ? seconds : -1;
}

const std::string &recorder()
{
    static const std::string path = besideMe("../src/recorder/breezon-record");
    return path;
}

// One run of breezon-record --from `source` --xls `xls`; its seconds, or -1.
double timeFromRun(const std::string &source, const std::string &xls)
{
    return timeRun(recorder(), {"--from", source, "--xls", xls});
}

// The two in turn, three times, so that the machine's other work falls on
// both alike; the fastest run of each stands.
void fromToSpreadsheet(benchmark::State &state)
{
    const QString source = millionRowFile();
    ReadingListModel rows; // today's export works from the list holding the rows
    RecordingFileReader reader;
    reader.open(source);
    RowRecord row;
    while (reader.next(row))
        rows.addRow(row.reading, row.time);
    reader.close();
    QTemporaryDir dir;
    const std::string from = QFile::encodeName(source).toStdString();
    const std::string xls = QFile::encodeName(dir.filePath(QStringLiteral("from.xlsx"))).toStdString();
    double fastestFrom = 1e9, fastestExport = 1e9;
    SpreadsheetLayout withTimestamps;
    withTimestamps.timestamps = true;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            const double fromSeconds = timeFromRun(from, xls);
            if (fromSeconds < 0)
                state.SkipWithError("breezon-record --from failed");
            fastestFrom = std::min(fastestFrom, fromSeconds);
            const auto start = bench::Clock::now();
            if (!exportSpreadsheet(rows, dir.filePath(QStringLiteral("export.xls")), {}, withTimestamps).ok)
                state.SkipWithError("the export failed");
            fastestExport = std::min(fastestExport, bench::secondsSince(start));
        }
        state.SetIterationTime(fastestFrom);
    }
    state.counters["from_ms"] = fastestFrom * 1e3;
    state.counters["export_ms"] = fastestExport * 1e3;
}
BENCHMARK(fromToSpreadsheet)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// --from to a text file and to a CSV file (each new, so written from its
// start), beside sqlite3 -csv printing the same rows' columns; each the
// fastest of three runs in turn.
void fromToTextAndCsv(benchmark::State &state)
{
    const std::string source = QFile::encodeName(millionRowFile()).toStdString();
    QTemporaryDir dir;
    const std::string text = QFile::encodeName(dir.filePath(QStringLiteral("t.txt"))).toStdString();
    const std::string csv = QFile::encodeName(dir.filePath(QStringLiteral("c.csv"))).toStdString();
    double fastest[3] = {1e9, 1e9, 1e9};
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            std::remove(text.c_str());
            std::remove(csv.c_str());
            const double runs[3] = {
                timeRun(recorder(), {"--from", source, "--txt", text}),
                timeRun(recorder(), {"--from", source, "--csv", csv}),
                timeRun("sqlite3", {"-csv", source,
                                    "SELECT time, seq, value, unit, rh, marker, temperature, temperature_unit "
                                    "FROM sample ORDER BY seq"}),
            };
            for (int k = 0; k < 3; ++k) {
                if (runs[k] < 0)
                    state.SkipWithError("a conversion failed");
                fastest[k] = std::min(fastest[k], runs[k]);
            }
        }
        state.SetIterationTime(fastest[0]);
    }
    state.counters["text_ms"] = fastest[0] * 1e3;
    state.counters["csv_ms"] = fastest[1] * 1e3;
    state.counters["sqlite_ms"] = fastest[2] * 1e3;
}
BENCHMARK(fromToTextAndCsv)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The file is made (when missing) in a process of its own, before Qt:
    // what making it takes stays out of the memory figures here.
    if (const pid_t maker = ::fork(); maker == 0) {
        millionRowFile();
        ::_exit(0);
    } else if (maker > 0) {
        ::waitpid(maker, nullptr, 0);
    }
    return bench::runInOffscreenApplication(argc, argv);
}
