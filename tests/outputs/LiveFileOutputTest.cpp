// SPDX-License-Identifier: GPL-3.0-or-later
// The files that grow a row at a time, --txt (TextFileOutput) and --csv
// (CsvOutput): continued across restarts with a torn last line cut off,
// refused when they are not the output's own or another breezon writes
// them, and never missing a row on a disk that fills and empties.
#include "CsvExport.h"
#include "Files.h"
#include "LiveFile.h"
#include "RecorderProcess.h"
#include "SmallDisk.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>

namespace {

TEST(LiveFileOutput, ARestartedRecorderContinuesItsFiles)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    // The first run's last lines are torn as a power cut leaves them; the
    // second cuts them off before it writes.
    const QString torn = QStringLiteral("7        half a li");
    for (const bool first : {true, false}) {
        const Ran run = runRecorder(demo({"--rows", "2", "--txt", txt, "--csv", csv}));
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
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
    ASSERT_TRUE(startAndWaitForRows(first, demo({"--csv", csv}), 1, printed));
    const Ran second = runRecorder(demo({"--rows", "1", "--csv", csv}));
    EXPECT_EQ(second.status, 4);
    EXPECT_TRUE(second.err.contains("in use by another breezon")) << second.err.toStdString();
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    printed += first.readAllStandardOutput();
    EXPECT_EQ(readAll(csv).count("\r\n"), 1 + 4 + printed.count('\n'));
}

// A file that is not one the output writes is refused at the start and
// left byte for byte: a slip of the flag (--csv for --breezon), another
// program's file, one of ours converted to LF line ends.
TEST(LiveFileOutput, AFileOfAnotherKindIsRefusedAndLeftAsItWas)
{
    QTemporaryDir dir;
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const Ran made = runRecorder(
        demo({"--rows", "3", "--csv", path("ours.csv"), "--breezon", path("duct.breezon"), "--xls", path("duct.xls")}));
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
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
        const Ran run = runRecorder(demo({"--rows", "1", "--no-journal", c.flag, path(c.file)}));
        EXPECT_EQ(run.status, 4) << c.file;
        EXPECT_TRUE(run.err.contains(c.told)) << c.file << ": " << run.err.toStdString();
        EXPECT_EQ(readAll(path(c.file)), before) << c.file;
    }
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

// A 64 KiB disk that fills under a running recorder and is emptied again:
// no torn line, and every row in the file in order when it ends.
TEST(LiveFileOutput, AFullDiskLosesNoRowOnceSpaceReturns)
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
        p.start(QStringLiteral(BREEZON_RECORD_PATH), demo({c.flag, file}));
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

// Straight onto the full device: no success is claimed, and no write after
// the first failure; the rows still come, and the failure is told once.
TEST(LiveFileOutput, OnAFullDeviceRowsStillComeAndTheFailureIsToldOnce)
{
    const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
    LiveFile live;
    ASSERT_TRUE(live.open(QStringLiteral("/dev/full")));
    EXPECT_FALSE(live.append(QByteArray("one record\r\n")));
    EXPECT_EQ(live.error(), full);
    EXPECT_FALSE(live.append(QByteArray("the next"))); // takes no more
    EXPECT_FALSE(live.close());

    const Ran run = runRecorder(demo({"--rows", "3", "--txt", "/dev/full"}));
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.out.count('\n'), 3);
    EXPECT_EQ(run.err.count("the text file /dev/full was not written: " + full.toUtf8()), 1) << run.err.toStdString();
}

} // namespace
