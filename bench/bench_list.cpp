// SPDX-License-Identifier: GPL-3.0-or-later
// The reading list at 1,000 and at 1,000,000 rows: memory per row and the
// cost of one append, through the window's own path (Clist::addRow on the
// shown list pane of the main window), through the bare row model, and, for
// comparison, through a QTableWidget that holds the same rows as texts.
// Beside the append alone, the append with the paint it causes (the event
// loop run once, as it runs between two samples).
//
// Each benchmark fills its list once (Iterations(1)) and reports counters;
// run each in a process of its own (bench/run does), so that one list's
// memory does not hide in the next one's figures.
#include "BenchSupport.h"
#include "OffscreenMain.h"
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "ReadingListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <benchmark/benchmark.h>

#include <functional>
#include <vector>
#include <memory>

namespace {

constexpr int kSmall = 1000;
constexpr int kLarge = 1000000;
constexpr int kWindow = 1000; // appends timed around each size
constexpr int kRepaints = 100; // appends, each with the paint it causes

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// What one list under test offers the measurement.
struct ListUnderTest {
    std::function<void()> append;  // one row at the bottom, scrolled into view
    std::function<void()> repaint; // paints what the append left to paint
    std::function<void(bool)> setShown;
    std::function<int()> rows;
};

struct Figures {
    double heapBytesPerRowSmall = 0; // exact heap growth from empty to 1,000 rows
    double rssBytesPerRowLarge = 0;  // resident growth from empty to 1,000,000 rows
    double usPerAppendSmall = 0, usPerAppendLarge = 0;
    double usPerAppendRepaintSmall = 0, usPerAppendRepaintLarge = 0;
};

// Microseconds per append over `count` appends, timed in ten blocks: the
// median block stands, so that another process taking the core for a while
// spoils one block rather than the figure.
double timeAppends(ListUnderTest &list, int count, bool repaint)
{
    constexpr int kBlocks = 10;
    const int perBlock = count / kBlocks;
    std::vector<double> blocks;
    for (int b = 0; b < kBlocks; ++b) {
        const auto start = bench::Clock::now();
        for (int i = 0; i < perBlock; ++i) {
            list.append();
            if (repaint)
                list.repaint();
        }
        blocks.push_back(bench::secondsSince(start) * 1e6 / perBlock);
    }
    return bench::median(blocks);
}

// Grows the list to `rows`; the rows on the way are not timed, and the list
// is hidden meanwhile so that they cost no scrolling of pixels.
void growTo(ListUnderTest &list, int rows)
{
    list.setShown(false);
    while (list.rows() < rows) {
        list.append();
        // The window's event loop runs between samples; what an append
        // leaves for it (posted events) is released there.
        if (list.rows() % 100 == 0)
            QCoreApplication::processEvents();
    }
    list.setShown(true);
    settle();
}

Figures measure(ListUnderTest &list, double &timed)
{
    Figures f;
    settle();
    const long rss0 = bench::residentKb();
    const std::size_t heap0 = bench::heapInUse();

    while (list.rows() < kSmall) {
        list.append();
        QCoreApplication::processEvents();
    }
    settle();
    f.heapBytesPerRowSmall = double(bench::heapInUse() - heap0) / kSmall;
    f.usPerAppendSmall = timeAppends(list, kWindow, false);
    settle();
    f.usPerAppendRepaintSmall = timeAppends(list, kRepaints, true);
    timed = f.usPerAppendSmall * kWindow * 1e-6;

    growTo(list, kLarge);
    f.rssBytesPerRowLarge = double(bench::residentKb() - rss0) * 1024.0 / list.rows();
    f.usPerAppendLarge = timeAppends(list, kWindow, false);
    settle();
    f.usPerAppendRepaintLarge = timeAppends(list, kRepaints, true);
    timed += f.usPerAppendLarge * kWindow * 1e-6;
    return f;
}

void report(benchmark::State &state, const Figures &f)
{
    state.counters["heap_B_per_row_1k"] = f.heapBytesPerRowSmall;
    state.counters["rss_B_per_row_1M"] = f.rssBytesPerRowLarge;
    state.counters["us_per_append_1k"] = f.usPerAppendSmall;
    state.counters["us_per_append_1M"] = f.usPerAppendLarge;
    state.counters["us_per_append_repaint_1k"] = f.usPerAppendRepaintSmall;
    state.counters["us_per_append_repaint_1M"] = f.usPerAppendRepaintLarge;
}

// The list pane of the main window, as a recording fills it.
void windowList(benchmark::State &state)
{
    CbreezonApp app({}, 1920);
    app.show();
    Clist &list = app.frame().list();
    int next = 0;
    ListUnderTest l{
        [&] { list.addRow(bench::sampleRow(next++)); },
        [] { QCoreApplication::processEvents(); },
        [&](bool shown) { app.frame().setVisible(shown); },
        [&] { return list.itemCount(); },
    };
    for (auto _ : state) {
        double timed = 0;
        const Figures f = measure(l, timed);
        state.SetIterationTime(timed);
        report(state, f);
    }
}
BENCHMARK(windowList)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The row model alone, with no view.
void bareModel(benchmark::State &state)
{
    ReadingListModel model;
    int next = 0;
    ListUnderTest l{
        [&] { model.addRow(bench::sampleRow(next), bench::sampleTime(next)), ++next; },
        [] {},
        [](bool) {},
        [&] { return model.itemCount(); },
    };
    for (auto _ : state) {
        double timed = 0;
        const Figures f = measure(l, timed);
        state.SetIterationTime(timed);
        report(state, f);
    }
}
BENCHMARK(bareModel)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A QTableWidget holding the same rows as texts, made when the row is added,
// set up like the window's list (font, columns, grid, hidden row header,
// fixed row height, scrolling) and shown at the list pane's size.
void tableWidget(benchmark::State &state)
{
    // The texts come from a row model filled beforehand with the same rows.
    ReadingListModel source;
    for (int i = 0; i < kLarge + kWindow + kRepaints; ++i)
        source.addRow(bench::sampleRow(i), bench::sampleTime(i));

    CbreezonApp app({}, 1920);
    app.show();
    const QTableView *pattern = app.frame().list().table();
    QTableWidget table(0, ReadingListModel::kColumns);
    table.setFont(pattern->font());
    table.resize(pattern->size());
    for (int c = 0; c < ReadingListModel::kColumns; ++c) {
        table.setHorizontalHeaderItem(c, new QTableWidgetItem(ReadingListModel::headers()[c]));
        table.setColumnWidth(c, pattern->columnWidth(c));
    }
    table.setShowGrid(true);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setWordWrap(false);
    table.setVerticalScrollMode(pattern->verticalScrollMode());
    table.verticalHeader()->hide();
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setDefaultSectionSize(pattern->verticalHeader()->defaultSectionSize());
    table.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table.show();

    ListUnderTest l{
        [&] {
            const int n = table.rowCount();
            table.insertRow(n);
            for (int c = 0; c < ReadingListModel::kColumns; ++c)
                table.setItem(n, c, new QTableWidgetItem(source.cellText(n, c)));
            table.scrollToBottom();
        },
        [] { QCoreApplication::processEvents(); },
        [&](bool shown) { table.setVisible(shown); },
        [&] { return table.rowCount(); },
    };
    for (auto _ : state) {
        double timed = 0;
        const Figures f = measure(l, timed);
        state.SetIterationTime(timed);
        report(state, f);
    }
}
BENCHMARK(tableWidget)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return bench::runInOffscreenApplication(argc, argv);
}
