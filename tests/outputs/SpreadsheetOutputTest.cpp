// SPDX-License-Identifier: GPL-3.0-or-later
// The workbook of a run (--xls, SpreadsheetOutput), made from the run's
// recording at the end: it never holds fewer rows than it did, whether the
// run is empty, refused or killed, and a file breezon did not write is left.
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

TEST(SpreadsheetOutput, AWorkbookNeverHoldsFewerRowsThanBefore)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_EQ(runRecorder(demo({"--rows", "3", "--breezon", at("a.breezon"), "--xls", at("w.xlsx")})).status, 0);
    const QByteArray workbook = readAll(at("w.xlsx"));
    ASSERT_EQ(workbookRows(at("w.xlsx")), 3);

    // A cable check with the instrument off: no row, the workbook untouched.
    int master = -1, slave = -1;
    char silent[256];
    ASSERT_EQ(::openpty(&master, &slave, silent, nullptr, nullptr), 0);
    const Ran empty = runRecorder({"--port", silent, "--seconds", "1", "--breezon", at("a.breezon"), "--xls", at("w.xlsx")});
    EXPECT_EQ(empty.status, 5);
    EXPECT_TRUE(empty.err.contains("no row was recorded")) << empty.err.toStdString();
    ::close(slave);
    ::close(master);
    EXPECT_EQ(readAll(at("w.xlsx")), workbook);

    // A new recording would make it smaller, and a file breezon did not
    // write is not a workbook of its own: refused, nothing made or changed.
    ASSERT_TRUE(writeFile(at("notes.xlsx"), "first line\n"));
    for (const auto &[file, told] : {std::pair{"w.xlsx", "holds 3 rows"}, {"notes.xlsx", "not a spreadsheet file"}}) {
        const QByteArray before = readAll(at(file));
        const Ran refused = runRecorder({"--demo", "--rows", "1", "--breezon", at("b.breezon"), "--xls", at(file)});
        EXPECT_EQ(refused.status, 4);
        EXPECT_TRUE(refused.err.contains(told)) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(at("b.breezon")));
        EXPECT_EQ(readAll(at(file)), before);
    }

    // A killed run leaves the workbook it found; --from makes it whole again.
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p, demo({"--breezon", at("a.breezon"), "--xls", at("w.xlsx")}), 2, printed));
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    EXPECT_EQ(readAll(at("w.xlsx")), workbook);
    EXPECT_EQ(runRecorder({"--from", at("a.breezon"), "--xls", at("w.xlsx")}).status, 0);
    EXPECT_GE(workbookRows(at("w.xlsx")), 5);
    EXPECT_EQ(workbookRows(at("w.xlsx")), RecordingFileReader::rowsIn(at("a.breezon")));
}

} // namespace
