// SPDX-License-Identifier: GPL-3.0-or-later
// A run kept across restarts, as a service lives it: every output numbers
// on from the recording, --from makes the live files again byte for byte,
// and the workbook, made from the recording, never holds fewer rows than it
// did (an empty run, a refused start, a kill).
#include "Files.h"
#include "RecorderProcess.h"
#include "RecordingFileReader.h"
#include "SpreadsheetExport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <pty.h>
#include <unistd.h>

namespace {

struct Finished {
    int status = -1;
    QByteArray out, err;
};

Finished record(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(BREEZON_RECORD_PATH), args);
    Finished r;
    if (!p.waitForFinished(30000))
        p.kill();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
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

TEST(RunAcrossRestarts, EveryOutputNumbersOnAndFromMakesTheFilesAgain)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const QStringList outputs = {"--breezon", at("r.breezon"), "--txt", at("t.txt"), "--csv", at("c.csv"),
                                 "--xls",     at("w.xlsx")};
    int total = 0;
    for (int rows : {2, 3, 2}) {
        const Finished run = record(QStringList{"--demo", "--period", "0.5", "--rows", QString::number(rows)} << outputs);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        QList<int> printed;
        for (const QByteArray &line : run.out.split('\n'))
            if (!line.isEmpty())
                printed << line.split(' ').value(0).toInt();
        EXPECT_EQ(printed, upTo(total + rows).mid(total)) << run.out.toStdString();
        total += rows;
        EXPECT_EQ(workbookRows(at("w.xlsx")), total);
    }
    EXPECT_EQ(numbers(readAll(at("t.txt")), false), upTo(total));
    EXPECT_EQ(numbers(readAll(at("c.csv")), true), upTo(total));

    const Finished from = record({"--from", at("r.breezon"), "--txt", at("t2.txt"), "--csv", at("c2.csv")});
    ASSERT_EQ(from.status, 0) << from.err.toStdString();
    EXPECT_EQ(readAll(at("t2.txt")), readAll(at("t.txt")));
    EXPECT_EQ(readAll(at("c2.csv")), readAll(at("c.csv")));
}

TEST(RunAcrossRestarts, AWorkbookNeverHoldsFewerRowsThanBefore)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_EQ(record({"--demo", "--period", "0.5", "--rows", "3", "--breezon", at("a.breezon"), "--xls", at("w.xlsx")})
                  .status,
              0);
    const QByteArray workbook = readAll(at("w.xlsx"));
    ASSERT_EQ(workbookRows(at("w.xlsx")), 3);

    // A cable check with the instrument off: no row, the workbook untouched.
    int master = -1, slave = -1;
    char silent[256];
    ASSERT_EQ(::openpty(&master, &slave, silent, nullptr, nullptr), 0);
    EXPECT_EQ(record({"--port", silent, "--seconds", "1", "--breezon", at("a.breezon"), "--xls", at("w.xlsx")}).status,
              5);
    ::close(slave);
    ::close(master);
    EXPECT_EQ(readAll(at("w.xlsx")), workbook);

    // A new recording would make it smaller: refused, nothing made.
    const Finished refused = record({"--demo", "--rows", "1", "--breezon", at("b.breezon"), "--xls", at("w.xlsx")});
    EXPECT_EQ(refused.status, 4);
    EXPECT_TRUE(refused.err.contains("holds 3 rows")) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(at("b.breezon")));
    EXPECT_EQ(readAll(at("w.xlsx")), workbook);

    // A killed run leaves the workbook it found; --from makes it whole again.
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(
        p, {"--demo", "--period", "0.5", "--breezon", at("a.breezon"), "--xls", at("w.xlsx")}, 2, printed));
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    EXPECT_EQ(readAll(at("w.xlsx")), workbook);
    EXPECT_EQ(record({"--from", at("a.breezon"), "--xls", at("w.xlsx")}).status, 0);
    EXPECT_GE(workbookRows(at("w.xlsx")), 5);
    EXPECT_EQ(workbookRows(at("w.xlsx")), RecordingFileReader::rowsIn(at("a.breezon")));
}

} // namespace
