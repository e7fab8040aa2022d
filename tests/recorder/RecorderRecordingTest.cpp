// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record with recording files: what a killed run leaves in one, and
// --from making again the files of the live run.
#include "Files.h"
#include "RecorderProcess.h"
#include "RecordingFileReader.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(BREEZON_RECORD_PATH);

std::int64_t rowsIn(const QString &path)
{
    RecordingFileReader reader;
    return reader.open(path).ok ? reader.rowCount() : -1;
}

// The file alone holds every row printed: a copy of it taken while the
// recorder runs, and the file a kill leaves, with no helper file beside it.
TEST(RecorderRecording, AKilledRecorderLeavesExactlyThePrintedRows)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("k.breezon"));
    const QString copy = dir.filePath(QStringLiteral("copy.breezon"));
    std::int64_t printedRows = 0;
    // The second run continues the file the first one was killed over.
    for (const int n : {1, 4}) {
        QProcess p;
        QByteArray printed;
        ASSERT_TRUE(startAndWaitForRows(p, {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                                            QStringLiteral("--breezon"), file}, n, printed));
        // Stopped first, so every row it printed is counted before it dies.
        ::kill(pid_t(p.processId()), SIGSTOP);
        p.waitForReadyRead(200);
        printed += p.readAllStandardOutput();
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(file, copy));
        ::kill(pid_t(p.processId()), SIGKILL);
        ASSERT_TRUE(p.waitForFinished(20000));
        printedRows += printed.count('\n');
        EXPECT_EQ(rowsIn(copy), printedRows) << "a copy after " << n << " rows";
        EXPECT_EQ(rowsIn(file), printedRows) << "after a kill at " << n << " rows";
        EXPECT_EQ(filesIn(dir.path()), (QStringList{QStringLiteral("copy.breezon"), QStringLiteral("k.breezon")}));
    }
}

TEST(RecorderRecording, FromARecordingMakesTheLiveRunsFilesAgain)
{
    QTemporaryDir dir;
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    QProcess live;
    live.start(kProgram, {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                          QStringLiteral("--rows"), QStringLiteral("4"), QStringLiteral("--breezon"),
                          path("live.breezon"), QStringLiteral("--txt"), path("live.txt"), QStringLiteral("--csv"),
                          path("live.csv"), QStringLiteral("--stdout"), QStringLiteral("jsonl"), QStringLiteral("--name"),
                          QStringLiteral("duct 7")});
    ASSERT_TRUE(live.waitForFinished(30000));
    ASSERT_EQ(live.exitCode(), 0) << live.readAllStandardError().toStdString();
    const QByteArray printed = live.readAllStandardOutput();

    QProcess again;
    again.start(kProgram, {QStringLiteral("--from"), path("live.breezon"), QStringLiteral("--txt"), path("again.txt"),
                           QStringLiteral("--csv"), path("again.csv"), QStringLiteral("--xls"), path("again.xlsx"),
                           QStringLiteral("--breezon"), path("copy.breezon"), QStringLiteral("--stdout"),
                           QStringLiteral("jsonl")});
    ASSERT_TRUE(again.waitForFinished(30000));
    ASSERT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
    EXPECT_EQ(again.readAllStandardOutput(), printed); // the recorded instrument's name and host too
    EXPECT_EQ(readAll(path("again.txt")), readAll(path("live.txt")));
    EXPECT_EQ(readAll(path("again.csv")), readAll(path("live.csv")));
    EXPECT_TRUE(readAll(path("again.xlsx")).startsWith("PK"));
    EXPECT_EQ(rowsIn(path("copy.breezon")), 4);

    // A file that is not a recording: told, status 3, no output made.
    QProcess wrong;
    wrong.start(kProgram, {QStringLiteral("--from"), path("live.txt"), QStringLiteral("--txt"), path("wrong.txt")});
    ASSERT_TRUE(wrong.waitForFinished(30000));
    EXPECT_EQ(wrong.exitCode(), 3);
    EXPECT_TRUE(wrong.readAllStandardError().contains("not a breezon recording"));
    EXPECT_FALSE(QFile::exists(path("wrong.txt")));
}

} // namespace
