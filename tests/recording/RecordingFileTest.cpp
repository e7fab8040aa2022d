// SPDX-License-Identifier: GPL-3.0-or-later
// The recording file: what goes in comes back out, a file is continued and
// never emptied, a file that is not ours is refused, and a full disk costs
// no row.
#include "Frame.h"
#include "RecordingFileOutput.h"
#include "RecordingFileReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/mount.h>

#include <vector>

namespace {

RowRecord rowNumber(int i)
{
    RowRecord r;
    r.seq = i;
    r.time = {1796729371512 + i * 500, i % 2 ? 3600 : -16200}; // +01:00 and -04:30
    r.frame.bytes = {0xEB, 0xA0, std::uint8_t(i % 3 == 2 ? 0x01 : 0x00), 0x00, 0x01, std::uint8_t(0xE0 + i), 0x00, 0xF6,
                     0x02, std::uint8_t(i), 0x02, std::uint8_t(i), 0x00, 0x00, 0x02, 0x50};
    r.reading = decodeFrame(r.frame);
    return r;
}

std::vector<RowRecord> readBack(const QString &path, QString *error = nullptr)
{
    RecordingFileReader reader;
    const ExportResult opened = reader.open(path);
    if (error)
        *error = opened.error;
    std::vector<RowRecord> rows;
    RowRecord r;
    while (reader.next(r))
        rows.push_back(r);
    return rows;
}

std::vector<RowRecord> write(const QString &path, int first, int count, RecordingFileOutput::Mode mode)
{
    RecordingFileOutput out(path, OutputContext{}, mode);
    EXPECT_TRUE(out.open().ok);
    std::vector<RowRecord> rows;
    for (int i = first; i < first + count; ++i) {
        rows.push_back(rowNumber(i));
        out.add(rows.back());
    }
    EXPECT_TRUE(out.finish().ok);
    EXPECT_EQ(out.settle(), 0);
    return rows;
}

const RecordingFileOutput::Mode kModes[] = {RecordingFileOutput::Mode::Synchronous,
                                            RecordingFileOutput::Mode::Background};

TEST(RecordingFile, RowsComeBackAsWrittenAndAContinuedFileNumbersOn)
{
    for (const auto mode : kModes) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.breezon"));
        std::vector<RowRecord> written = write(path, 0, 3, mode);
        for (const RowRecord &r : write(path, 3, 2, mode)) // a second start continues the file
            written.push_back(r);
        const std::vector<RowRecord> read = readBack(path);
        ASSERT_EQ(read.size(), written.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].seq, int(i));
            EXPECT_EQ(read[i].time, written[i].time) << i;
            EXPECT_EQ(read[i].frame.bytes, written[i].frame.bytes) << i;
            for (int c = 0; c < ReadingListModel::kColumns; ++c)
                EXPECT_EQ(cellsOf(read[i])[c], ReadingListModel::cellTextOf(int(i), read[i].reading, written[i].time, c));
        }

        // The columns as sqlite3 users see them: numbers as numbers, nulls
        // where the list shows nothing, each start among the facts.
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db,
                                     "SELECT (SELECT count(*) FROM recording WHERE key = 'started'), typeof(value), "
                                     "typeof(unit), mode, rh, time, typeof(marker) FROM sample WHERE seq = 2",
                                     -1, &st, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), 2);
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)), "null"); // mode "none"
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)), "null");
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 3)), "none");
        EXPECT_DOUBLE_EQ(sqlite3_column_double(st, 4), 48.2);
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 5)), "2026-12-08T06:59:32.512-04:30");
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 6)), "null");
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
}

TEST(RecordingFile, AFileThatIsNotARecordingIsRefusedAndLeftAlone)
{
    QTemporaryDir dir;
    auto make = [&](const char *name, const QByteArray &bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    };
    auto database = [&](const char *name, const char *sql) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return path;
    };
    const struct {
        QString path;
        const char *why;
    } cases[] = {
        {make("text.breezon", QByteArray("0        13:31:07        5.20\r\n").repeated(200)), "not a breezon recording"},
        {database("other.db", "CREATE TABLE t(x); INSERT INTO t VALUES (1);"), "another program"},
        {database("newer.breezon", "PRAGMA application_id = 1651669614; PRAGMA user_version = 3; CREATE TABLE t(x);"),
         "newer breezon"},
    };
    for (const auto &c : cases) {
        const QByteArray before = [&] {
            QFile f(c.path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QString why;
        EXPECT_TRUE(readBack(c.path, &why).empty());
        EXPECT_TRUE(why.contains(QString::fromLatin1(c.why))) << why.toStdString();
        RecordingFileOutput out(c.path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        const ExportResult opened = out.open();
        EXPECT_FALSE(opened.ok);
        EXPECT_TRUE(opened.error.contains(QString::fromLatin1(c.why))) << opened.error.toStdString();
        QFile f(c.path);
        f.open(QIODevice::ReadOnly);
        EXPECT_EQ(f.readAll(), before) << c.path.toStdString();
    }
    QString why;
    EXPECT_TRUE(readBack(dir.filePath(QStringLiteral("missing.breezon")), &why).empty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing.breezon"))));
    EXPECT_FALSE(why.isEmpty());
}

// A small disk of its own, mounted for the test (root only): 256 KiB, as
// a WAL database takes 32 KiB of shared index and a page per commit.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;
    SmallDisk() { mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=256k") == 0; }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    // Fills what is left; the filler's path.
    QString fill()
    {
        const QString path = dir.filePath(QStringLiteral("filler"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        const QByteArray block(512, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        return path;
    }
};

TEST(RecordingFile, ADiskThatFillsAndIsEmptiedEndsWithEveryRow)
{
    for (const auto mode : kModes) {
        SmallDisk disk;
        if (!disk.mounted)
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        const QString path = disk.dir.filePath(QStringLiteral("full.breezon"));
        std::vector<std::pair<QString, bool>> notes;
        RecordingFileOutput out(path, OutputContext{}, mode);
        out.setNote([&](const QString &text, bool failure) { notes.emplace_back(text, failure); });
        ASSERT_TRUE(out.open().ok);
        auto waitForNotes = [&](std::size_t n) {
            return QTest::qWaitFor([&] {
                out.tick();
                return notes.size() >= n;
            }, 10000);
        };
        int rows = 0;
        for (; rows < 3; ++rows)
            out.add(rowNumber(rows));
        const QString filler = disk.fill();
        for (int i = 0; i < 200 && notes.empty(); ++i, ++rows) {
            out.add(rowNumber(rows));
            QTest::qWait(mode == RecordingFileOutput::Mode::Background ? 20 : 0);
        }
        ASSERT_TRUE(waitForNotes(1)) << "the disk never filled";
        for (int i = 0; i < 5; ++i, ++rows)
            out.add(rowNumber(rows));
        QFile::remove(filler);
        out.add(rowNumber(rows++));
        ASSERT_TRUE(waitForNotes(2)) << notes[0].first.toStdString() << int(mode);
        EXPECT_TRUE(out.finish().ok);
        EXPECT_EQ(out.settle(), 0);
        ASSERT_EQ(notes.size(), 2u); // the failure once, the recovery once
        EXPECT_TRUE(notes[0].second);
        EXPECT_TRUE(notes[0].first.contains(QStringLiteral("full"))) << notes[0].first.toStdString();
        EXPECT_FALSE(notes[1].second);
        const std::vector<RowRecord> read = readBack(path);
        ASSERT_EQ(int(read.size()), rows);
        for (int i = 0; i < rows; ++i)
            EXPECT_EQ(read[std::size_t(i)].frame.bytes, rowNumber(i).frame.bytes) << i;
    }
}

} // namespace
