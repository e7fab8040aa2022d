// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record and its recording across runs: a killed run leaves every
// printed row in the recording and the growing files, every output numbers
// on after a restart, and --from makes the live run's outputs again.
#include "Files.h"
#include "RecorderProcess.h"
#include "RecordingFileReader.h"
#include "SpreadsheetExport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// The recording alone holds every row printed: a copy of it taken while the
// recorder runs, and the file a kill leaves, with no helper file beside it;
// the growing files hold them too. The second run continues the files the
// first one was killed over.
TEST(RecorderRecording, AKilledRecorderLeavesEveryPrintedRow)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    QByteArray printed;
    for (const int n : {1, 4}) {
        QProcess p;
        const qsizetype before = printed.count('\n');
        ASSERT_TRUE(startAndWaitForRows(
            p, demo({"--breezon", at("k.breezon"), "--txt", at("k.txt"), "--csv", at("k.csv")}), before + n, printed));
        // Stopped first, so every row it printed is counted before it dies.
        ::kill(pid_t(p.processId()), SIGSTOP);
        p.waitForReadyRead(200);
        printed += p.readAllStandardOutput();
        QFile::remove(at("copy.breezon"));
        ASSERT_TRUE(QFile::copy(at("k.breezon"), at("copy.breezon")));
        ::kill(pid_t(p.processId()), SIGKILL);
        ASSERT_TRUE(p.waitForFinished(20000));
        const qsizetype rows = printed.count('\n');
        EXPECT_EQ(RecordingFileReader::rowsIn(at("copy.breezon")), rows) << "a copy after " << n << " rows";
        EXPECT_EQ(RecordingFileReader::rowsIn(at("k.breezon")), rows) << "after a kill at " << n << " rows";
        EXPECT_EQ(readAll(at("k.txt")), utf16(QString::fromUtf8(printed).replace(QStringLiteral("\n"), QStringLiteral("\r\n"))));
        EXPECT_EQ(readAll(at("k.csv")).count("\r\n"), 1 + rows);
        EXPECT_EQ(filesIn(dir.path()), (QStringList{"copy.breezon", "k.breezon", "k.csv", "k.txt"}));
    }
}

// The number at the start of each line (text: UTF-16LE) or after the
// first comma (CSV, header left out).
QList<int> numbers(const QByteArray &bytes, bool csv)
{
    const QString text = csv ? QString::fromUtf8(bytes)
                             : QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                                  bytes.size() / 2);
    QList<int> out;
    for (const QString &line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(csv ? 1 : 0))
        out << (csv ? line.section(QLatin1Char(','), 1, 1) : line.section(QLatin1Char(' '), 0, 0)).toInt();
    return out;
}

QList<int> upTo(int n)
{
    QList<int> all;
    for (int i = 0; i < n; ++i)
        all << i;
    return all;
}

TEST(RecorderRecording, EveryOutputNumbersOnAndFromMakesTheOutputsAgain)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const QStringList outputs = {"--breezon", at("r.breezon"), "--txt", at("t.txt"), "--csv", at("c.csv"),
                                 "--xls", at("w.xlsx"), "--stdout", "jsonl", "--name", "duct 7"};
    QByteArray printed;
    int total = 0;
    for (int rows : {2, 3, 2}) {
        const Ran run = runRecorder(demo(QStringList{"--rows", QString::number(rows)} + outputs));
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        QList<int> seqs;
        for (const QByteArray &line : run.out.split('\n'))
            if (!line.isEmpty())
                seqs << QJsonDocument::fromJson(line).object().value("seq").toInt(-1);
        EXPECT_EQ(seqs, upTo(total + rows).mid(total)) << run.out.toStdString();
        printed += run.out;
        total += rows;
        EXPECT_EQ(workbookRows(at("w.xlsx")), total);
    }
    EXPECT_EQ(numbers(readAll(at("t.txt")), false), upTo(total));
    EXPECT_EQ(numbers(readAll(at("c.csv")), true), upTo(total));

    const Ran from = runRecorder({"--from", at("r.breezon"), "--txt", at("t2.txt"), "--csv", at("c2.csv"), "--xls",
                                  at("w2.xlsx"), "--breezon", at("copy.breezon"), "--stdout", "jsonl"});
    ASSERT_EQ(from.status, 0) << from.err.toStdString();
    EXPECT_EQ(from.out, printed); // the recorded instrument's name and host too
    EXPECT_EQ(readAll(at("t2.txt")), readAll(at("t.txt")));
    EXPECT_EQ(readAll(at("c2.csv")), readAll(at("c.csv")));
    EXPECT_EQ(workbookRows(at("w2.xlsx")), total);
    EXPECT_EQ(RecordingFileReader::rowsIn(at("copy.breezon")), total);

    // A file that is not a recording: told, status 3, no output made.
    const Ran wrong = runRecorder({"--from", at("t.txt"), "--txt", at("wrong.txt")});
    EXPECT_EQ(wrong.status, 3);
    EXPECT_TRUE(wrong.err.contains("not a breezon recording")) << wrong.err.toStdString();
    EXPECT_FALSE(QFile::exists(at("wrong.txt")));
}

} // namespace
