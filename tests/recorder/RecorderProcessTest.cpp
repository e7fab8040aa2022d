// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record as a user runs it: exit statuses, signals, and what a
// killed run leaves behind.
#include "CsvExport.h"
#include "Files.h"
#include "RecorderProcess.h"
#include "SmallDisk.h"
#include "SpreadsheetExport.h"
#include "ReadingListModel.h"
#include "RecordingFileWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <pty.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(BREEZON_RECORD_PATH);

struct ProcessRun {
    int exitCode = -1;
    QByteArray out, err;
};

ProcessRun runToEnd(const QStringList &args)
{
    QProcess p;
    p.start(kProgram, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QStringList demoArgs(std::initializer_list<QString> more)
{
    QStringList args{QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5")};
    args.append(QStringList(more));
    return args;
}

TEST(RecorderProcess, ExitStatusSaysWhatFailed)
{
    ProcessRun usage = runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.7")});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.err.endsWith("\nTry 'breezon-record --help'.\n")) << usage.err.toStdString();
    EXPECT_EQ(usage.err.count('\n'), 2) << usage.err.toStdString();
    EXPECT_EQ(runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("61")}).exitCode, 2);
    // A name no output can carry, before any file is made.
    ProcessRun name = runToEnd({QStringLiteral("--demo"), QStringLiteral("--name"), QStringLiteral("duct\\")});
    EXPECT_EQ(name.exitCode, 2);
    EXPECT_TRUE(name.err.startsWith("breezon-record: the name 'duct\\' has a backslash")) << name.err.toStdString();

    ProcessRun help = runToEnd({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--period"));

    // A start that fails removes the files it made and leaves the others.
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.csv"));
    ASSERT_TRUE(writeFile(kept, csvHeader()));
    ProcessRun port = runToEnd({QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyUSB9"), QStringLiteral("--txt"),
                                dir.filePath(QStringLiteral("a.txt")), QStringLiteral("--csv"), kept,
                                QStringLiteral("--breezon"), dir.filePath(QStringLiteral("a.breezon"))});
    EXPECT_EQ(port.exitCode, 3);
    EXPECT_TRUE(port.err.contains("open port error")) << port.err.toStdString();
    EXPECT_FALSE(port.err.contains("recording into")) << port.err.toStdString();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("kept.csv")});
    EXPECT_EQ(readAll(kept), csvHeader());

    // A file that cannot be created is told before anything is recorded.
    const QString csv = dir.filePath(QStringLiteral("ok.csv"));
    ProcessRun file = runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                         QStringLiteral("--rows"), QStringLiteral("2"), QStringLiteral("--txt"),
                         dir.filePath(QStringLiteral("missing/dir/x.txt")), QStringLiteral("--csv"), csv});
    EXPECT_EQ(file.exitCode, 4);
    EXPECT_TRUE(file.err.contains("x.txt")) << file.err.toStdString();
    EXPECT_EQ(file.out.count('\n'), 0);
}

TEST(RecorderProcess, StopSignalsEndTheRunWithCompleteFilesAndNohupKeepsItGoing)
{
    // A hang-up ignored on the way in (nohup) stays ignored.
    QProcess kept;
    kept.start(QStringLiteral("nohup"), QStringList{kProgram} + demoArgs({}));
    QByteArray printed;
    ASSERT_TRUE(kept.waitForStarted(10000) && waitForRows(kept, printed, 1));
    ::kill(pid_t(kept.processId()), SIGHUP);
    EXPECT_FALSE(kept.waitForFinished(1500));
    ::kill(pid_t(kept.processId()), SIGTERM);
    ASSERT_TRUE(kept.waitForFinished(20000));
    EXPECT_EQ(kept.exitCode(), 0);

    // SIGHUP: a closed terminal or a dropped SSH session.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        QTemporaryDir dir;
        const QString txt = dir.filePath(QStringLiteral("r.txt"));
        const QString xls = dir.filePath(QStringLiteral("r.xlsx"));
        QProcess p;
        QByteArray printed;
        ASSERT_TRUE(startAndWaitForRows(p,
                                        {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                                         QStringLiteral("--txt"), txt, QStringLiteral("--xls"), xls},
                                        2, printed));
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(20000));
        printed += p.readAllStandardOutput();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(p.exitCode(), 0) << signal << p.readAllStandardError().toStdString();
        const int rows = int(printed.count('\n'));
        // UTF-16: "\r\n" is four bytes per line.
        EXPECT_EQ(readAll(txt).count(QByteArray("\r\0\n\0", 4)), rows) << signal;
        EXPECT_TRUE(readAll(xls).startsWith("PK")) << signal;
    }
}

TEST(RecorderProcess, AKilledRunKeepsEveryPrintedRow)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("k.txt"));
    const QString csv = dir.filePath(QStringLiteral("k.csv"));
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p,
                                    {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                                     QStringLiteral("--txt"), txt, QStringLiteral("--csv"), csv},
                                    3, printed));
    ::kill(pid_t(p.processId()), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(20000));
    printed += p.readAllStandardOutput();
    const QList<QByteArray> lines = printed.split('\n');
    const int rows = int(lines.size()) - 1;
    ASSERT_GE(rows, 3);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(readAll(txt).constData()),
                                            readAll(txt).size() / 2);
    for (int i = 0; i < rows; ++i)
        EXPECT_TRUE(text.contains(QString::fromUtf8(lines[i]) + QStringLiteral("\r\n"))) << i;
    // Header plus at least every printed row.
    EXPECT_GE(readAll(csv).count('\n'), rows + 1);
}

bool waitFor(QProcess &p, const std::function<bool()> &done, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(100);
    }
    return true;
}

TEST(RecorderProcess, ARestartedRecorderContinuesItsFiles)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    // The first run's last lines are torn as a power cut leaves them; the
    // second cuts them off before it writes.
    const QString torn = QStringLiteral("7        half a li");
    for (const bool first : {true, false}) {
        ProcessRun run = runToEnd(demoArgs({QStringLiteral("--rows"), QStringLiteral("2"), QStringLiteral("--txt"),
                                            txt, QStringLiteral("--csv"), csv}));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        if (first) {
            ASSERT_TRUE(writeFile(csv, readAll(csv) + torn.toUtf8()));
            ASSERT_TRUE(writeFile(txt, readAll(txt) + QByteArray(reinterpret_cast<const char *>(torn.utf16()), torn.size() * 2)));
        }
    }
    const QByteArray kept = readAll(csv);
    EXPECT_EQ(kept.count("Timestamp,No."), 1);
    EXPECT_EQ(kept.count("\r\n"), 1 + 4);
    EXPECT_FALSE(kept.contains("half a li"));
    EXPECT_FALSE(readAll(txt).contains(QByteArray(reinterpret_cast<const char *>(u"half"), 8)));
    EXPECT_EQ(readAll(txt).count(QByteArray("\r\0\n\0", 4)), 4);

    // A file another breezon is writing is refused, and not touched.
    QProcess first;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(first, demoArgs({QStringLiteral("--csv"), csv}), 1, printed));
    ProcessRun second = runToEnd(demoArgs({QStringLiteral("--rows"), QStringLiteral("1"), QStringLiteral("--csv"), csv}));
    EXPECT_EQ(second.exitCode, 4);
    EXPECT_TRUE(second.err.contains("in use by another breezon")) << second.err.toStdString();
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    printed += first.readAllStandardOutput();
    EXPECT_EQ(readAll(csv).count("\r\n"), 1 + 4 + printed.count('\n'));
}

// A file that is not one the output writes is refused at the start and
// left byte for byte: a slip of the flag (--csv for --breezon), another
// program's file, one of ours converted to LF line ends.
TEST(RecorderProcess, AFileOfAnotherKindIsRefusedAndLeftAsItWas)
{
    QTemporaryDir dir;
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const ProcessRun made = runToEnd(demoArgs({QStringLiteral("--rows"), QStringLiteral("3"), QStringLiteral("--csv"),
                                               path("ours.csv"), QStringLiteral("--breezon"), path("duct.breezon"),
                                               QStringLiteral("--xls"), path("duct.xls")}));
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    ASSERT_TRUE(writeFile(path("lf.csv"), readAll(path("ours.csv")).replace("\r\n", "\n")));
    ASSERT_TRUE(writeFile(path("notes.txt"), "first line\nsecond line\n"));
    ASSERT_TRUE(writeFile(path("other.csv"), "Time,Speed\r\n12:00,5.2\r\n"));
    const struct {
        const char *flag;
        const char *file;
        const char *told;
    } cases[] = {
        {"--csv", "lf.csv", "CR LF"},
        {"--csv", "duct.breezon", "not a CSV file breezon wrote"},
        {"--csv", "duct.xls", "not a CSV file breezon wrote"},
        {"--csv", "other.csv", "other columns"},
        {"--txt", "notes.txt", "not a text file breezon wrote"},
        {"--txt", "ours.csv", "not a text file breezon wrote"},
    };
    for (const auto &c : cases) {
        const QByteArray before = readAll(path(c.file));
        const ProcessRun run = runToEnd(demoArgs({QStringLiteral("--rows"), QStringLiteral("1"),
                                                  QStringLiteral("--no-journal"), QString::fromLatin1(c.flag),
                                                  path(c.file)}));
        EXPECT_EQ(run.exitCode, 4) << c.file;
        EXPECT_TRUE(run.err.contains(c.told)) << c.file << ": " << run.err.toStdString();
        EXPECT_EQ(readAll(path(c.file)), before) << c.file;
    }
}

TEST(RecorderProcess, StandardOutputThatGoesAwayOrFills)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("s.csv"));
    const struct {
        const char *name;
        const char *rows; // empty: no limit, the run must end by itself
        bool withCsv;
        const char *shell; // where standard output goes
        int status;
        const char *told;
    } cases[] = {
        {"| head alone", "", false, "| head -1", 0, ""},
        {"| head beside a file", "4", true, "| head -1", 0, "standard output is closed"},
        {"/dev/full", "4", true, ">/dev/full", 4, "standard output was not written: No space left on device"},
    };
    for (const auto &c : cases) {
        QFile::remove(csv);
        QStringList args = demoArgs({});
        if (*c.rows)
            args << QStringLiteral("--rows") << QString::fromLatin1(c.rows);
        if (c.withCsv)
            args << QStringLiteral("--csv") << csv;
        const QString script = QStringLiteral("\"$0\" \"$@\" %1; echo \"status ${PIPESTATUS[0]}\" >&2").arg(QLatin1String(c.shell));
        const ProcessRun run = [&] {
            QProcess p;
            p.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), script, kProgram} + args);
            p.waitForFinished(30000);
            return ProcessRun{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
        }();
        EXPECT_TRUE(run.err.contains("status " + QByteArray::number(c.status))) << c.name << run.err.toStdString();
        if (*c.told)
            EXPECT_EQ(run.err.count(c.told), 1) << c.name << run.err.toStdString();
        if (c.withCsv)
            EXPECT_EQ(readAll(csv).count("\r\n"), 1 + 4) << c.name;
    }
}

TEST(RecorderProcess, APortThatNeverSendsEndsWithStatus5AndLongRunsDoNotStopEarly)
{
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ProcessRun silent = runToEnd({QStringLiteral("--port"), QString::fromLatin1(name), QStringLiteral("--seconds"),
                                  QStringLiteral("2")});
    EXPECT_EQ(silent.exitCode, 5) << silent.err.toStdString();
    EXPECT_TRUE(silent.err.contains("no row was recorded")) << silent.err.toStdString();
    ::close(slave);
    ::close(master);

    // 4294968 s is 2^32 ms and a little: it once ran for 0.7 s.
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p, demoArgs({QStringLiteral("--seconds"), QStringLiteral("4294968")}), 3, printed));
    EXPECT_EQ(p.state(), QProcess::Running);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}

// A 64 KiB disk that fills under a running recorder and is emptied again:
// no torn line, and every row in the file in order when it ends.
TEST(RecorderProcess, AFullDiskLosesNoRowOnceSpaceReturns)
{
    SmallDisk disk("64k");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto utf16 = [](const QString &t) { return QByteArray(reinterpret_cast<const char *>(t.utf16()), t.size() * 2); };
    const struct {
        const char *flag;
        QByteArray start; // what the file holds before: just under one page
    } cases[] = {
        {"--txt", utf16(QStringLiteral("0") + QString(1997, u'x') + QStringLiteral("\r\n"))},
        {"--csv", csvHeader() + "0,,,,,,,," + QByteArray(3937, 'x') + "\r\n"},
    };
    for (const auto &c : cases) {
        const QString file = disk.path(QStringLiteral("run"));
        ASSERT_TRUE(writeFile(file, c.start));
        const QString filler = disk.fill(); // every page but the file's own
        QProcess p;
        QByteArray printed;
        QByteArray err;
        p.start(kProgram, demoArgs({QString::fromLatin1(c.flag), file}));
        const auto collect = [&] {
            printed += p.readAllStandardOutput();
            err += p.readAllStandardError();
        };
        ASSERT_TRUE(waitFor(p, [&] { collect(); return err.contains("No space left on device"); })) << c.flag << err.toStdString();
        ASSERT_TRUE(QFile::remove(filler));
        ASSERT_TRUE(waitFor(p, [&] { collect(); return err.contains("written again"); })) << c.flag << err.toStdString();
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(20000));
        collect();
        EXPECT_EQ(p.exitCode(), 4) << c.flag; // the failure stays in the status
        EXPECT_EQ(err.count("was not written"), 1) << c.flag << err.toStdString();
        const QByteArray after = readAll(file).mid(c.start.size());
        const QList<QByteArray> lines = printed.split('\n');
        if (QByteArray(c.flag) == "--txt") {
            QByteArray expected;
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                expected += utf16(QString::fromUtf8(lines[i]) + QStringLiteral("\r\n"));
            EXPECT_EQ(after, expected) << c.flag;
        } else {
            EXPECT_EQ(after.count("\r\n"), lines.size() - 1) << c.flag;
            EXPECT_TRUE(after.endsWith("\r\n")) << c.flag;
        }
        QFile::remove(file);
    }
}

} // namespace
