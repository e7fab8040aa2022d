// SPDX-License-Identifier: GPL-3.0-or-later
// The run's statistics, wherever they are read: counted as rows come (the
// numbers worked out by hand), the recording file's view, the recorder's
// --summary-json and the window's Statistics all give the same lines.
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"
#include "RecordingFileWriter.h"
#include "RunStatistics.h"
#include "ScriptedDialogs.h"
#include "StatisticsText.h"
#include "StatisticsWindow.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <map>
#include <vector>

namespace {

using Q = FrameFields::Quantity;
using H = FrameFields::Hold;

struct Numbers {
    std::int64_t count = 0;
    double min = 0, max = 0, mean = 0, sd = 0;
};
// A line by its names: "field mode unit hold marker".
using Lines = std::map<std::string, Numbers>;

std::string keyOf(const QString &field, const QString &mode, const QString &unit, const QString &hold,
                  const QString &marker)
{
    return QStringList{field, mode, unit, hold, marker}.join(QLatin1Char(' ')).toStdString();
}

Lines linesOf(const RunStatistics &stats)
{
    Lines out;
    for (const StatGroup &g : stats.groups()) {
        const StatNames n = statNames(g);
        out[keyOf(n.field, n.mode, n.unit, n.hold, n.marker)] = {g.numbers.count, g.numbers.min, g.numbers.max,
                                                                  g.numbers.mean, g.numbers.sd()};
    }
    return out;
}

QString text(sqlite3_stmt *st, int column)
{
    const auto *t = sqlite3_column_text(st, column);
    return t ? QString::fromUtf8(reinterpret_cast<const char *>(t)) : QString();
}

// The view's lines, and its run line as "rows first last duration".
Lines viewLines(const QString &path, QString *run)
{
    Lines out;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT field, mode, unit, hold, marker, count, min, max, mean, sd FROM statistics", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out[keyOf(text(st, 0), text(st, 1), text(st, 2), text(st, 3), text(st, 4))] = {
            sqlite3_column_int64(st, 5), sqlite3_column_double(st, 6), sqlite3_column_double(st, 7),
            sqlite3_column_double(st, 8), sqlite3_column_double(st, 9)};
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "SELECT rows, first_time, last_time, duration_s FROM statistics_run", -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW)
        *run = QStringLiteral("%1 %2 %3 %4").arg(text(st, 0), text(st, 1), text(st, 2)).arg(sqlite3_column_double(st, 3));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

Lines jsonLines(const QJsonObject &summary, QString *run)
{
    Lines out;
    const auto s = [](const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toString(); };
    for (const QJsonValue &v : summary.value(QLatin1String("statistics")).toArray()) {
        const QJsonObject o = v.toObject();
        out[keyOf(s(o, "field"), s(o, "mode"), s(o, "unit"), s(o, "hold"), s(o, "marker"))] = {
            o.value(QLatin1String("count")).toInteger(), o.value(QLatin1String("min")).toDouble(),
            o.value(QLatin1String("max")).toDouble(), o.value(QLatin1String("mean")).toDouble(),
            o.value(QLatin1String("sd")).toDouble()};
    }
    *run = QStringLiteral("%1 %2 %3 %4")
               .arg(summary.value(QLatin1String("rows")).toInteger())
               .arg(s(summary, "first_time"), s(summary, "last_time"))
               .arg(summary.value(QLatin1String("duration_s")).toDouble());
    return out;
}

QString runOf(const RunStatistics &stats)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(stats.rows())
        .arg(stats.first()->isoText(), stats.last()->isoText())
        .arg(stats.durationSeconds());
}

bool near(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)}); }

::testing::AssertionResult sameLines(const Lines &expected, const Lines &actual)
{
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << expected.size() << " lines expected, " << actual.size() << " given";
    for (const auto &[key, e] : expected) {
        const auto it = actual.find(key);
        if (it == actual.end())
            return ::testing::AssertionFailure() << "no line " << key;
        const Numbers &a = it->second;
        if (a.count != e.count || !near(a.min, e.min) || !near(a.max, e.max) || !near(a.mean, e.mean) ||
            !near(a.sd, e.sd))
            return ::testing::AssertionFailure() << key << ": " << a.count << " " << a.min << " " << a.max << " "
                                                 << a.mean << " " << a.sd;
    }
    return ::testing::AssertionSuccess();
}

struct Case {
    const char *name;
    std::vector<FrameFields> rows;
    Lines expected;
};

// Every case's rows but one field are at 0: 0.0 °C, 0.0 %RH.
Numbers zeroes(int n) { return {n, 0, 0, 0, 0}; }

} // namespace

TEST(Statistics, EveryReaderGivesTheNumbersOfKnownSets)
{
    const FrameFields twelve{.humidity = 456, .temperature = 213, .reading = 1234, .speed = 1234};
    const Case cases[] = {
        {"a single row", {twelve},
         {{"value speed m/s current ", {1, 12.34, 12.34, 12.34, 0}},
          {"speed  m/s current ", {1, 12.34, 12.34, 12.34, 0}},
          {"temperature  C  ", {1, 21.3, 21.3, 21.3, 0}},
          {"rh  %RH  ", {1, 45.6, 45.6, 45.6, 0}}}},
        {"equal values", {twelve, twelve, twelve},
         {{"value speed m/s current ", {3, 12.34, 12.34, 12.34, 0}},
          {"speed  m/s current ", {3, 12.34, 12.34, 12.34, 0}},
          {"temperature  C  ", {3, 21.3, 21.3, 21.3, 0}},
          {"rh  %RH  ", {3, 45.6, 45.6, 45.6, 0}}}},
        {"a unit change mid-run",
         {{.reading = 100, .speed = 100}, {.reading = 300, .speed = 300}, {.unit = 1, .reading = 1000, .speed = 278},
          {.unit = 1, .reading = 2000, .speed = 556}},
         {{"value speed m/s current ", {2, 1, 3, 2, 1}},
          {"value speed km/h current ", {2, 10, 20, 15, 5}},
          {"speed  m/s current ", {4, 1, 5.56, 3.085, 1.6258151801481002}},
          {"temperature  C  ", zeroes(4)},
          {"rh  %RH  ", zeroes(4)}}},
        {"held rows apart",
         {{.reading = 200, .speed = 200}, {.reading = 400, .speed = 400}, {.hold = H::Max, .reading = 400, .speed = 400},
          {.hold = H::Min, .reading = 200, .speed = 200}},
         {{"value speed m/s current ", {2, 2, 4, 3, 1}},
          {"value speed m/s max ", {1, 4, 4, 4, 0}},
          {"value speed m/s min ", {1, 2, 2, 2, 0}},
          {"speed  m/s current ", {2, 2, 4, 3, 1}},
          {"speed  m/s max ", {1, 4, 4, 4, 0}},
          {"speed  m/s min ", {1, 2, 2, 2, 0}},
          {"temperature  C  ", zeroes(4)},
          {"rh  %RH  ", zeroes(4)}}},
        {"the display's limits, in ft/m and °F",
         {{.fahrenheit = true, .multiplier = 100, .unit = 3, .humidity = 65535, .temperature = -32768,
           .reading = 65535, .speed = 65535},
          {.fahrenheit = true, .unit = 3, .temperature = 32767}},
         {{"value speed ft/m current ", {2, 0, 6553500, 3276750, 3276750}},
          {"speed  m/s current ", {2, 0, 655.35, 327.675, 327.675}},
          {"temperature  F  ", {2, -5866.2, 5930.1, 31.95, 5898.15}},
          {"rh  %RH  ", {2, 0, 6553.5, 3276.75, 3276.75}}}},
        {"flows in two units, a dew point apart",
         {{.quantity = Q::AirFlow, .unit = 0, .temperature = 200, .reading = 55, .speed = 250},
          {.quantity = Q::AirFlow, .derived = FrameFields::Derived::DewPoint, .unit = 2, .temperature = 100,
           .reading = 1000, .speed = 250}},
         {{"value flow CMM current ", {1, 5.5, 5.5, 5.5, 0}},
          {"value flow CFM current ", {1, 100, 100, 100, 0}},
          {"flow_m3_h  m3/h current ", {2, 169.901, 330, 249.9505, 80.0495}},
          {"speed  m/s current ", {2, 2.5, 2.5, 2.5, 0}},
          {"temperature  C  ", {1, 20, 20, 20, 0}},
          {"temperature  C  DP", {1, 10, 10, 10, 0}},
          {"rh  %RH  ", zeroes(2)}}},
        {"no value: mode none, a unit beyond the table",
         {{.quantity = Q::Neither, .reading = 77, .speed = 300}, {.unit = 6, .reading = 5, .speed = 100}},
         {{"speed  m/s current ", {2, 1, 3, 2, 1}}, {"temperature  C  ", zeroes(2)}, {"rh  %RH  ", zeroes(2)}}},
    };

    ScriptedDialogs dialogs;
    CbreezonApp app({}, 1920);
    StatisticsWindow &window = app.frame().statistics();
    QTemporaryDir dir;
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("run%1.breezon").arg(n));
        const QString json = dir.filePath(QStringLiteral("run%1.json").arg(n++));
        RunStatistics stats;
        {
            RecordingFileWriter writer;
            std::string why;
            ASSERT_TRUE(writer.open(QFile::encodeName(path).toStdString(), &why)) << why;
            for (std::size_t i = 0; i < c.rows.size(); ++i) {
                RowRecord row;
                row.seq = int(i);
                row.time = {1796729371512 + std::int64_t(i) * 1500, 3600};
                row.frame = storedFrame(c.rows[i]);
                row.reading = decodeFrame(row.frame);
                stats.add(row);
                ASSERT_TRUE(writer.write(storedRow(row), &why)) << why;
            }
        }
        EXPECT_TRUE(sameLines(c.expected, linesOf(stats)));

        QString run;
        EXPECT_TRUE(sameLines(linesOf(stats), viewLines(path, &run)));
        EXPECT_EQ(run, runOf(stats));

        QProcess recorder;
        recorder.start(QStringLiteral(BREEZON_RECORD_PATH),
                       {QStringLiteral("--from"), path, QStringLiteral("--summary"), QStringLiteral("--summary-json"), json});
        ASSERT_TRUE(recorder.waitForFinished(20000));
        const QByteArray told = recorder.readAllStandardError();
        ASSERT_EQ(recorder.exitCode(), 0) << told.toStdString();
        EXPECT_TRUE(told.contains(statisticsTable(stats).toUtf8())) << told.toStdString();
        QFile file(json);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const Lines fromJson = jsonLines(QJsonDocument::fromJson(file.readAll()).object(), &run);
        EXPECT_TRUE(sameLines(linesOf(stats), fromJson));
        EXPECT_EQ(run, runOf(stats));

        // The window, for the whole recording and its one page.
        ASSERT_TRUE(app.openRecording(path));
        EXPECT_TRUE(sameLines(fromJson, linesOf(window.whole())));
        EXPECT_TRUE(sameLines(fromJson, linesOf(window.page())));
    }
}

// The window's Statistics: opened by its command and key, up to date as
// rows come, following the page shown, copied as shown, emptied by RESET.
TEST(Statistics, TheWindowFollowsTheRun)
{
    CbreezonApp app({}, 1920);
    app.show();
    StatisticsWindow &window = app.frame().statistics();
    Cwave &wave = app.frame().wave();
    EXPECT_FALSE(window.isVisible());
    app.onCommand(command_id::statistics);
    EXPECT_TRUE(window.isVisible());

    // 400 live rows: two pages, the second holding the last 50.
    for (int i = 0; i < 400; ++i) {
        app.frame().store().append(storedFrame({.reading = std::uint16_t(i < 350 ? 100 : 300), .speed = 100}));
        wave.onSampleTimer();
    }
    EXPECT_EQ(window.whole().rows(), 400);
    ASSERT_EQ(wave.pages().currentPage, 2u);
    EXPECT_EQ(window.page().rows(), 50);
    EXPECT_EQ(window.page().groups().front().numbers.mean, 3.0);
    wave.firstPage();
    EXPECT_EQ(window.page().rows(), 350);
    EXPECT_EQ(window.page().groups().front().numbers.mean, 1.0);

    auto *shown = window.findChild<QPlainTextEdit *>(QStringLiteral("statisticsText"));
    window.refresh();
    EXPECT_EQ(shown->toPlainText(), window.text());
    EXPECT_TRUE(window.text().contains(QStringLiteral("Page 1 / 2: 350 rows over")));
    window.findChild<QPushButton *>(QStringLiteral("copy"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), window.text());

    wave.resetRecording();
    window.refresh();
    EXPECT_EQ(shown->toPlainText(), QStringLiteral("Whole recording: no rows\n"));
}
