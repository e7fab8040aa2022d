// The exports of a long recording: 1,000,000 list rows to the text file (and,
// for comparison, the same lines with one write call each), and to the
// spreadsheet, with the memory the spreadsheet export takes on top of what
// the process held before it.
#include "ReadingListModel.h"
#include "SpreadsheetExport.h"
#include "TextExport.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRows = 1000000;

// A recording as the instrument makes it: wind speed in m/s, no marker,
// slowly changing humidity and temperature, one row a second.
const ReadingListModel &recording()
{
    static ReadingListModel *const list = [] {
        auto *m = new ReadingListModel;
        for (int i = 0; i < kRows; ++i) {
            ReadingRow r;
            r.mode = quantity::windSpeed;
            r.unit = 0;
            r.value = std::uint32_t(i * 37 % 3000);
            r.humidity = std::uint32_t(400 + i % 300);
            r.temperature = std::int16_t(150 + i % 200);
            m->addRow(r, QTime::fromMSecsSinceStartOfDay(i % 86400 * 1000));
        }
        return m;
    }();
    return *list;
}

// A figure of /proc/self/status, in kB.
long statusKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

// Lets VmHWM start again from the present resident size.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void textExport(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    for (auto _ : state) {
        const ExportResult r = writeTextFile(path, rows);
        if (!r.ok)
            state.SkipWithError(qPrintable(r.error));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(textExport)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same file written one line per write call.
void textExportLinePerWrite(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("data.txt"));
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (int i = 0; i < rows.itemCount(); ++i) {
            const QByteArray line = textLineBytes(textLine(rows, i));
            if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                state.SkipWithError("write failed");
        }
        ::close(fd);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(textExportLinePerWrite)->Unit(benchmark::kMillisecond)->Iterations(1);

void spreadsheetExport(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QString path = dir.filePath("data.xls");
    double peakAboveStartMb = 0;
    for (auto _ : state) {
        resetPeak();
        const long startKb = statusKb("VmRSS");
        const ExportResult r = exportSpreadsheet(rows, path, {});
        if (!r.ok)
            state.SkipWithError(qPrintable(r.error));
        peakAboveStartMb = std::max(peakAboveStartMb, (statusKb("VmHWM") - startKb) / 1024.0);
    }
    state.counters["peak_MB_above_start"] = peakAboveStartMb;
    state.counters["file_MB"] = QFile(path).size() / 1048576.0;
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(spreadsheetExport)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
