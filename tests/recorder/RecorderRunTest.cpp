// SPDX-License-Identifier: GPL-3.0-or-later
// A whole headless run in-process, over the simulated instrument's
// pseudo-terminal.
#include "Files.h"
#include "Recorder.h"
#include "RecordingFileReader.h"
#include "TextExport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <pty.h>
#include <unistd.h>

namespace {

// Runs the recorder until it finishes (or a generous limit passes).
int runToEnd(Recorder &recorder)
{
    QEventLoop loop;
    int status = -1;
    QObject::connect(&recorder, &Recorder::finished, &loop, [&](int s) {
        status = s;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!recorder.start())
        return recorder.status();
    loop.exec();
    return status;
}

TEST(RecorderRun, RowsGoToStdoutAndEveryFileAsTheWindowWouldSaveThem)
{
    QTemporaryDir dir;
    RecorderOptions o;
    o.demo = true;
    o.periodMs = 500;
    o.rows = 3;
    const QString txt = dir.filePath(QStringLiteral("run.txt"));
    const QString csvPath = dir.filePath(QStringLiteral("run.csv"));
    const QString xls = dir.filePath(QStringLiteral("run.xlsx"));
    o.outputs = {{QStringLiteral("--txt"), txt}, {QStringLiteral("--csv"), csvPath}, {QStringLiteral("--xls"), xls}};
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    Recorder recorder(o, out, err);
    ASSERT_EQ(runToEnd(recorder), Recorder::kDone) << readStream(err).toStdString();

    // The rows as the run's recording file keeps them.
    ReadingListModel rows;
    RecordingFileReader reader;
    ASSERT_TRUE(reader.open(recorder.recordingPath()).ok);
    for (RowRecord row; reader.next(row);)
        rows.addRow(row.reading, row.time, row.seq);
    ASSERT_EQ(rows.itemCount(), 3);

    // Standard output: the text layout in UTF-8, one "\n" per row.
    const QList<QByteArray> printed = readStream(out).split('\n');
    ASSERT_EQ(printed.size(), 4);
    EXPECT_TRUE(printed[3].isEmpty());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QString::fromUtf8(printed[i]) + QStringLiteral("\r\n"), textLine(rows, i)) << i;

    // The growing text file is byte for byte what Save TXT writes.
    const QString saved = dir.filePath(QStringLiteral("saved.txt"));
    ASSERT_TRUE(writeTextFile(saved, rows).ok);
    const QByteArray grown = readAll(txt);
    EXPECT_EQ(grown.size(), readAll(saved).size());
    EXPECT_EQ(grown, readAll(saved));

    const QList<QByteArray> csv = readAll(csvPath).split('\n');
    ASSERT_EQ(csv.size(), 5); // header, three records, nothing after the last "\r\n"
    EXPECT_TRUE(csv[0].startsWith("Timestamp,No.,Time,Value"));
    EXPECT_TRUE(csv[1].startsWith(rows.timestamp(0).isoText().toUtf8() + ",0," + rows.cellText(0, 1).toUtf8() + ","));
    EXPECT_TRUE(csv[3].endsWith(rows.cellText(2, 7).toUtf8() + "\r"));

    // The spreadsheet file is written at the end, under exactly the name given.
    EXPECT_TRUE(readAll(xls).startsWith("PK"));
    EXPECT_FALSE(QFile::exists(xls + QStringLiteral(".xls")));
    std::fclose(out);
    std::fclose(err);
}

// A port that opens but never sends: told while it lasts, and a run
// without a row ends with its own status.
TEST(RecorderRun, ASilentPortIsToldAndEndsWithStatus5)
{
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    RecorderOptions o;
    o.port = QString::fromLatin1(name);
    o.seconds = 1;
    o.noDataAfterMs = 200;
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    Recorder recorder(o, out, err);
    EXPECT_EQ(runToEnd(recorder), Recorder::kNoData);
    const QByteArray said = readStream(err);
    EXPECT_GE(said.count("no data from " + QByteArray(name) + " for 0 s: is the instrument on and sending?"), 2)
        << said.toStdString();
    std::fclose(out);
    std::fclose(err);
    ::close(slave);
    ::close(master);
}

} // namespace
