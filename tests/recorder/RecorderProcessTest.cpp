// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record as a user runs it: exit statuses, signals, nohup.
#include "CsvExport.h"
#include "Files.h"
#include "RecorderProcess.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csignal>

namespace {

TEST(RecorderProcess, ExitStatusSaysWhatFailed)
{
    const Ran usage = runRecorder(demo({"--period", "0.7"}));
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.endsWith("\nTry 'breezon-record --help'.\n")) << usage.err.toStdString();
    EXPECT_EQ(usage.err.count('\n'), 2) << usage.err.toStdString();
    // A name no output can carry, before any file is made.
    const Ran name = runRecorder({"--demo", "--name", "duct\\"});
    EXPECT_EQ(name.status, 2);
    EXPECT_TRUE(name.err.startsWith("breezon-record: the name 'duct\\' has a backslash")) << name.err.toStdString();

    const Ran help = runRecorder({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--period"));

    // A start that fails removes the files it made and leaves the others.
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.csv"));
    ASSERT_TRUE(writeFile(kept, csvHeader()));
    const Ran port = runRecorder({"--port", "/nonexistent/ttyUSB9", "--txt", dir.filePath(QStringLiteral("a.txt")),
                                  "--csv", kept, "--breezon", dir.filePath(QStringLiteral("a.breezon"))});
    EXPECT_EQ(port.status, 3);
    EXPECT_TRUE(port.err.contains("open port error")) << port.err.toStdString();
    EXPECT_EQ(port.err.count("/nonexistent/ttyUSB9"), 1) << port.err.toStdString();
    EXPECT_FALSE(port.err.contains("recording into")) << port.err.toStdString();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("kept.csv")});
    EXPECT_EQ(readAll(kept), csvHeader());

    // A file that cannot be created is told before anything is recorded.
    const Ran file = runRecorder(demo({"--rows", "2", "--txt", dir.filePath(QStringLiteral("missing/dir/x.txt")),
                                       "--csv", dir.filePath(QStringLiteral("ok.csv"))}));
    EXPECT_EQ(file.status, 4);
    EXPECT_TRUE(file.err.contains("x.txt")) << file.err.toStdString();
    EXPECT_EQ(file.out.count('\n'), 0);
}

// Each signal ends a run with its files complete, side by side; each run's
// deadline is past 2^32 ms, which once ended a run after 0.7 s.
TEST(RecorderProcess, StopSignalsEndTheRunWithCompleteFilesAndNohupKeepsItGoing)
{
    // A hang-up ignored on the way in (nohup) stays ignored.
    QProcess kept;
    kept.start(QStringLiteral("nohup"), QStringList{QStringLiteral(BREEZON_RECORD_PATH)} + demo({"--no-journal"}));
    QTemporaryDir dir;
    const auto at = [&](int n, const char *suffix) { return dir.filePath(QString::number(n) + QLatin1String(suffix)); };
    const int stops[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT}; // SIGHUP: a closed terminal or a dropped SSH session
    std::array<QProcess, std::size(stops)> runs;
    for (int n = 0; n < int(runs.size()); ++n)
        runs[n].start(QStringLiteral(BREEZON_RECORD_PATH), demo({"--seconds", "4294968", "--txt", at(n, ".txt"),
                                                                 "--xls", at(n, ".xlsx"), "--breezon", at(n, ".breezon")}));
    QByteArray printed;
    ASSERT_TRUE(kept.waitForStarted(10000) && waitForRows(kept, printed, 1));
    ::kill(pid_t(kept.processId()), SIGHUP);

    for (int n = 0; n < int(runs.size()); ++n) {
        QProcess &p = runs[n];
        QByteArray printed;
        ASSERT_TRUE(p.waitForStarted(10000) && waitForRows(p, printed, 3)) << stops[n];
        ::kill(pid_t(p.processId()), stops[n]);
        ASSERT_TRUE(p.waitForFinished(20000));
        printed += p.readAllStandardOutput();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << stops[n];
        EXPECT_EQ(p.exitCode(), 0) << stops[n] << p.readAllStandardError().toStdString();
        // UTF-16: "\r\n" is four bytes per line.
        EXPECT_EQ(readAll(at(n, ".txt")).count(QByteArray("\r\0\n\0", 4)), printed.count('\n')) << stops[n];
        EXPECT_TRUE(readAll(at(n, ".xlsx")).startsWith("PK")) << stops[n];
    }
    EXPECT_FALSE(kept.waitForFinished(500));
    ::kill(pid_t(kept.processId()), SIGTERM);
    ASSERT_TRUE(kept.waitForFinished(20000));
    EXPECT_EQ(kept.exitCode(), 0);
}

} // namespace
