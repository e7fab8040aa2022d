// SPDX-License-Identifier: GPL-3.0-or-later
// The exports of a long recording, 1,000,000 list rows:
// - the text file, beside the same lines written with one write call each;
// - the spreadsheet, time and peak resident memory, beside libxlsxwriter
//   writing the same cells (same texts, formats and sheets) straight from the
//   list in its constant-memory mode: the floor of any export through it.
//
// Each spreadsheet run happens in a child process forked from the one that
// holds the list, so its peak (VmHWM) is that of a process holding the list
// and exporting it, untouched by the run before.
#include "BenchSupport.h"
#include "ReadingListModel.h"
#include "SpreadsheetExport.h"
#include "TextExport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRows = 1000000;

const ReadingListModel &recording()
{
    static ReadingListModel *const list = [] {
        auto *m = new ReadingListModel;
        for (int i = 0; i < kRows; ++i)
            m->addRow(bench::sampleRow(i), bench::sampleTime(i));
        return m;
    }();
    return *list;
}

void textExport(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = bench::Clock::now();
        const ExportResult r = writeTextFile(path, rows);
        seconds += bench::secondsSince(start);
        if (!r.ok)
            state.SkipWithError(qPrintable(r.error));
    }
    state.counters["ms"] = seconds * 1e3 / double(state.iterations());
    state.counters["file_MB"] = QFile(path).size() / 1048576.0;
}
BENCHMARK(textExport)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same file written one line per write call.
void textLinePerWrite(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("data.txt"));
    double seconds = 0;
    for (auto _ : state) {
        const auto start = bench::Clock::now();
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (int i = 0; i < rows.itemCount(); ++i) {
            const QByteArray line = textLineBytes(textLine(rows, i));
            if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                state.SkipWithError("write failed");
        }
        ::close(fd);
        seconds += bench::secondsSince(start);
    }
    state.counters["ms"] = seconds * 1e3 / double(state.iterations());
}
BENCHMARK(textLinePerWrite)->Unit(benchmark::kMillisecond)->Iterations(1);

struct ChildFigures {
    double seconds = 0;
    long peakKb = 0;  // VmHWM during the run
    long startKb = 0; // VmRSS when it began
    long fileBytes = 0;
    bool ok = false;
};

// Runs `work` in a child process and brings back its time and peak.
ChildFigures inChild(const std::function<bool()> &work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ChildFigures f;
        bench::resetPeak();
        f.startKb = bench::residentKb();
        const auto start = bench::Clock::now();
        f.ok = work();
        f.seconds = bench::secondsSince(start);
        f.peakKb = bench::statusKb("VmHWM");
        [[maybe_unused]] ssize_t n = ::write(fds[1], &f, sizeof f);
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildFigures f;
    if (pid < 0 || ::read(fds[0], &f, sizeof f) != ssize_t(sizeof f))
        f.ok = false;
    ::close(fds[0]);
    if (pid > 0)
        ::waitpid(pid, nullptr, 0);
    return f;
}

void reportChild(benchmark::State &state, const ChildFigures &f, const QString &path)
{
    if (!f.ok)
        state.SkipWithError("the export failed");
    state.SetIterationTime(f.seconds);
    state.counters["ms"] = f.seconds * 1e3;
    state.counters["peak_MB"] = f.peakKb / 1024.0;
    state.counters["peak_MB_above_start"] = (f.peakKb - f.startKb) / 1024.0;
    state.counters["file_MB"] = QFile(path).size() / 1048576.0;
}

void spreadsheetExport(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QString path = dir.filePath("data.xls");
    for (auto _ : state) {
        const ChildFigures f = inChild([&] { return exportSpreadsheet(rows, path, {}).ok; });
        reportChild(state, f, path);
    }
}
BENCHMARK(spreadsheetExport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The same workbook written by libxlsxwriter directly, row by row, as its
// constant-memory mode demands: sheets "KQ-VANE" and "Sheet1", the header
// row as text, columns A, C, E, G with the number format "0_ " and B, D, F,
// H as text, the texts of the list's cells.
bool writeFloor(const ReadingListModel &rows, const QString &path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    options.tmpdir = const_cast<char *>(dir.constData());
    lxw_workbook *wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!wb)
        return false;
    lxw_worksheet *ws = workbook_add_worksheet(wb, "KQ-VANE");
    workbook_add_worksheet(wb, "Sheet1");
    worksheet_activate(ws);
    lxw_format *text = workbook_add_format(wb);
    format_set_num_format(text, "@");
    lxw_format *number = workbook_add_format(wb);
    format_set_num_format(number, "0_ ");
    const int n = rows.itemCount();
    bool ok = true;
    for (int c = 0; c < ReadingListModel::kColumns; ++c)
        ok = ok && worksheet_write_string(ws, 0, lxw_col_t(c), ReadingListModel::headers()[c].toUtf8().constData(),
                                          text) == LXW_NO_ERROR;
    // Every data cell, and the row below the data, carries its column's
    // format; an empty one is written as a formatted blank.
    for (int i = 0; i <= n && ok; ++i)
        for (int c = 0; c < ReadingListModel::kColumns; ++c) {
            const QByteArray cell = i < n ? rows.cellText(i, c).toUtf8() : QByteArray();
            lxw_format *format = c % 2 == 0 ? number : text;
            const lxw_row_t r = lxw_row_t(i + 1);
            const lxw_error e = cell.isEmpty() ? worksheet_write_blank(ws, r, lxw_col_t(c), format)
                                               : worksheet_write_string(ws, r, lxw_col_t(c), cell.constData(), format);
            ok = e == LXW_NO_ERROR;
        }
    for (int c = 0; c < ReadingListModel::kColumns; ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), 9, c % 2 == 0 ? number : text);
    return workbook_close(wb) == LXW_NO_ERROR && ok;
}

void spreadsheetFloor(benchmark::State &state)
{
    const ReadingListModel &rows = recording();
    QTemporaryDir dir;
    const QString path = dir.filePath("floor.xlsx");
    for (auto _ : state) {
        const ChildFigures f = inChild([&] { return writeFloor(rows, path); });
        reportChild(state, f, path);
    }
}
BENCHMARK(spreadsheetFloor)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

} // namespace

BENCHMARK_MAIN();
