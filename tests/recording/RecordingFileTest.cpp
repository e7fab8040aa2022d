// SPDX-License-Identifier: GPL-3.0-or-later
// The recording file: what goes in comes back out, a file is continued and
// never emptied, a file that is not ours (or is damaged, or has another's
// helper file beside it) is refused and left as it was, a commit is synced
// to the folder, a file is read where it cannot be written, and a full disk
// costs no row. (One writer at a time: WindowJournalTest.)
#include "Files.h"
#include "Frame.h"
#include "RecordingFileOutput.h"
#include "RecordingFileReader.h"
#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <string>
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

// `count` rows from `first` on, a commit each or (`bulk`) all in one.
std::vector<RowRecord> write(const QString &path, int first, int count, RecordingFileOutput::Mode mode,
                             bool bulk = false)
{
    RecordingFileOutput out(path, OutputContext{}, mode);
    EXPECT_TRUE(out.open().ok);
    std::vector<RowRecord> rows;
    if (bulk)
        out.beginBulk();
    for (int i = first; i < first + count; ++i) {
        rows.push_back(rowNumber(i));
        out.add(rows.back());
    }
    if (bulk)
        out.endBulk();
    EXPECT_TRUE(out.finish().ok);
    EXPECT_EQ(out.settle(), 0);
    return rows;
}

void exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
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

        // A read kept out by another's lock fails and says why; the next
        // seek reads again (the MQTT outbox relies on it).
        if (mode == RecordingFileOutput::Mode::Synchronous) {
            RecordingFileReader reader;
            ASSERT_TRUE(reader.open(path).ok);
            ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            RowRecord row;
            EXPECT_FALSE(reader.next(row));
            EXPECT_TRUE(reader.error().contains(QStringLiteral("locked"))) << reader.error().toStdString();
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            reader.seek(1);
            EXPECT_TRUE(reader.next(row) && row.seq == 1) << reader.error().toStdString();
        }
        sqlite3_close(db);
    }
}

TEST(RecordingFile, AFileThatIsNotARecordingIsRefusedAndLeftAlone)
{
    QTemporaryDir dir;
    auto make = [&](const char *name, const QByteArray &bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeFile(path, bytes);
        return path;
    };
    auto database = [&](const char *name, const char *sql) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        exec(path, sql);
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
        const QByteArray before = readAll(c.path);
        QString why;
        EXPECT_TRUE(readBack(c.path, &why).empty());
        EXPECT_TRUE(why.contains(QString::fromLatin1(c.why))) << why.toStdString();
        RecordingFileOutput out(c.path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        const ExportResult opened = out.open();
        EXPECT_FALSE(opened.ok);
        EXPECT_TRUE(opened.error.contains(QString::fromLatin1(c.why))) << opened.error.toStdString();
        EXPECT_EQ(readAll(c.path), before) << c.path.toStdString();
    }
    QString why;
    EXPECT_TRUE(readBack(dir.filePath(QStringLiteral("missing.breezon")), &why).empty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing.breezon"))));
    EXPECT_FALSE(why.isEmpty());
}

TEST(RecordingFile, ADiskThatFillsAndIsEmptiedEndsWithEveryRow)
{
    for (const auto mode : kModes) {
        // 256 KiB: room for the file, its journal and a little more.
        SmallDisk disk("256k");
        if (!disk.mounted)
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        const QString path = disk.path(QStringLiteral("full.breezon"));
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

// What SQLite asks of the file system, in order: each file it removes and
// each folder it syncs.
std::vector<std::string> steps;
sqlite3_syscall_ptr systemUnlink, systemOpenDirectory;
int loggedUnlink(const char *path)
{
    steps.push_back(std::string("remove ") + path);
    return reinterpret_cast<int (*)(const char *)>(systemUnlink)(path);
}
int loggedOpenDirectory(const char *path, int *fd)
{
    steps.push_back(std::string("sync the folder of ") + path);
    return reinterpret_cast<int (*)(const char *, int *)>(systemOpenDirectory)(path, fd);
}

// A row reported written survives a power cut: the journal's removal
// commits it, so the folder is synced right after, every time.
TEST(RecordingFile, EachCommitSyncsTheFolderOnceTheJournalIsGone)
{
    QTemporaryDir dir;
    sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    systemUnlink = vfs->xGetSystemCall(vfs, "unlink");
    systemOpenDirectory = vfs->xGetSystemCall(vfs, "openDirectory");
    vfs->xSetSystemCall(vfs, "unlink", reinterpret_cast<sqlite3_syscall_ptr>(loggedUnlink));
    vfs->xSetSystemCall(vfs, "openDirectory", reinterpret_cast<sqlite3_syscall_ptr>(loggedOpenDirectory));
    write(dir.filePath(QStringLiteral("r.breezon")), 0, 3, RecordingFileOutput::Mode::Synchronous);
    vfs->xSetSystemCall(vfs, nullptr, nullptr); // the system's calls again
    const std::string journal = QFile::encodeName(dir.filePath(QStringLiteral("r.breezon-journal"))).toStdString();
    const auto removed = std::count(steps.begin(), steps.end(), "remove " + journal);
    EXPECT_GE(removed, 3); // a commit a row at least
    for (auto it = std::find(steps.begin(), steps.end(), "remove " + journal); it != steps.end();
         it = std::find(it + 1, steps.end(), "remove " + journal))
        EXPECT_TRUE(it + 1 != steps.end() && it[1] == "sync the folder of " + journal) << it - steps.begin();
}

// `sql` run on `from` and left uncommitted or in its log, as a crash leaves
// it: the database and its helper file copied to `to` meanwhile.
void crashed(const QString &from, const char *sql, const char *helper, const QString &to)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(from).constData(), &db);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    for (const char *suffix : {"", helper})
        ASSERT_TRUE(QFile::copy(from + QLatin1String(suffix), to + QLatin1String(suffix))) << suffix;
    sqlite3_close(db); // rolls back or checkpoints the original, not the copy
}

// Read-only: the recording as it is, and one that a crash left with a hot
// journal (its uncommitted change spilled into the file), are read whole
// and nothing is left beside them; a writer is told why it cannot write.
TEST(RecordingFile, ARecordingReadsWhereItCannotBeWritten)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.breezon"));
    const QString hot = dir.filePath(QStringLiteral("hot.breezon"));
    write(plain, 0, 300, RecordingFileOutput::Mode::Synchronous, true);
    const QString scratch = dir.filePath(QStringLiteral("scratch"));
    ASSERT_TRUE(QFile::copy(plain, scratch));
    crashed(scratch, "PRAGMA cache_size=1; BEGIN; UPDATE sample SET rh = 0;", "-journal", hot);
    QFile::remove(scratch);
    ASSERT_NE(readAll(hot), readAll(plain)) << "the change never reached the file";
    const QStringList files = filesIn(dir.path());
    ReadOnlyView readOnly(dir.path());
    if (!readOnly.mounted)
        GTEST_SKIP() << "mounting is not permitted here";
    for (const QString &path : {plain, hot}) {
        RecordingFileReader reader;
        ASSERT_TRUE(reader.open(path).ok) << path.toStdString();
        RowRecord row;
        int rows = 0;
        while (reader.next(row))
            EXPECT_EQ(row.frame.bytes, rowNumber(rows++).frame.bytes);
        EXPECT_EQ(rows, 300) << path.toStdString();
        EXPECT_EQ(reader.damagedRows(), 0) << path.toStdString();
        RecordingFileOutput writer(path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        const ExportResult refused = writer.open();
        EXPECT_TRUE(refused.error.startsWith(QStringLiteral("read-only"))) << refused.error.toStdString();
    }
    EXPECT_EQ(filesIn(dir.path()), files);
}

// A helper file is judged in a private copy before the file is opened for
// writing: another database's is never applied, and the refused files stay
// as they were; a recording of an older version with its own pending log
// is taken on, the log folded in and gone.
TEST(RecordingFile, AHelperFileIsJudgedBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    write(path("ours.breezon"), 0, 20, RecordingFileOutput::Mode::Synchronous, true);
    ASSERT_TRUE(QFile::copy(path("ours.breezon"), path("old.breezon")));
    ASSERT_TRUE(QFile::copy(path("ours.breezon"), path("foreign.breezon")));
    const char *logged = "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; ";
    crashed(path("old.breezon"), (std::string(logged) + "INSERT INTO recording VALUES ('note', 'in the log');").c_str(),
            "-wal", path("legacy.breezon"));
    exec(path("other.db"), "CREATE TABLE t(x);");
    crashed(path("other.db"), (std::string(logged) + "INSERT INTO t VALUES (1);").c_str(), "-wal", path("theirs.db"));
    ASSERT_TRUE(QFile::copy(path("theirs.db-wal"), path("foreign.breezon-wal")));
    const struct {
        const char *file;
        const char *why; // empty: taken on
    } cases[] = {
        {"foreign.breezon", "the helper file"},
        {"theirs.db", "another program"},
        {"legacy.breezon", ""},
    };
    for (const auto &c : cases) {
        const QString file = path(c.file), log = file + QStringLiteral("-wal");
        const QByteArray before = readAll(file), logBefore = readAll(log);
        RecordingFileOutput out(file, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        const ExportResult opened = out.open();
        EXPECT_EQ(opened.ok, !*c.why) << c.file << opened.error.toStdString();
        EXPECT_TRUE(opened.error.contains(QString::fromLatin1(c.why))) << c.file << opened.error.toStdString();
        if (!*c.why) {
            out.add(rowNumber(20));
            EXPECT_TRUE(out.finish().ok);
            EXPECT_EQ(readBack(file).size(), 21u);
            EXPECT_FALSE(QFile::exists(log));
            EXPECT_EQ(readAll(file).at(18), 1) << "still in WAL mode";
            continue;
        }
        EXPECT_EQ(readAll(file), before) << c.file;
        EXPECT_EQ(readAll(log), logBefore) << c.file;
    }
}

// Damage is found by the row where it starts, never shown as a reading, and
// a writer refuses the file without changing it.
TEST(RecordingFile, DamageIsToldByItsRowAndNeverReadAsAReading)
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.breezon"));
    write(good, 0, 300, RecordingFileOutput::Mode::Synchronous, true);
    const QByteArray bytes = readAll(good);
    const auto frameOf = [&](int seq) {
        const auto &b = rowNumber(seq).frame.bytes;
        return bytes.indexOf(QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size())));
    };
    const struct {
        const char *name;
        qsizetype at;      // where the damage goes
        QByteArray with;   // empty: the file is cut there
    } cases[] = {
        {"a flipped byte", frameOf(17) + 9, QByteArray(1, char(bytes[frameOf(17) + 9] ^ 0x04))},
        {"64 bytes of something else", frameOf(150) - 30, QByteArray(64, '\x5A')},
        {"cut short", frameOf(200) - 100, QByteArray()},
    };
    for (const auto &c : cases) {
        ASSERT_GT(c.at, 0) << c.name;
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".breezon"));
        ASSERT_TRUE(writeFile(path, c.with.isEmpty() ? bytes.left(c.at) : QByteArray(bytes).replace(c.at, c.with.size(), c.with)));
        RecordingFileReader reader;
        const ExportResult readable = reader.open(path);
        ASSERT_TRUE(readable.ok) << c.name << readable.error.toStdString();
        RowRecord row;
        int read = 0;
        while (reader.next(row)) {
            EXPECT_EQ(row.frame.bytes, rowNumber(row.seq).frame.bytes) << c.name << row.seq;
            ++read;
        }
        // Rows left out and counted, or (where the end is gone) the rest
        // told unreadable; the damage is told from near where it was made.
        const std::int64_t first = reader.damagedRows() > 0 ? reader.firstDamaged() : read;
        EXPECT_TRUE(reader.damagedRows() > 0 || reader.error().startsWith(QStringLiteral("damaged at row")))
            << c.name << reader.error().toStdString();
        if (reader.lastSeq() == 299) {
            EXPECT_EQ(read + reader.damagedRows(), 300) << c.name;
        }
        EXPECT_TRUE(std::abs(frameOf(int(first)) - c.at) < 4096) << c.name << " at row " << first;
        const QByteArray before = readAll(path);
        RecordingFileOutput out(path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        const ExportResult opened = out.open();
        EXPECT_TRUE(opened.error.startsWith(QStringLiteral("damaged at row %1").arg(first)))
            << c.name << ": " << opened.error.toStdString();
        EXPECT_EQ(readAll(path), before) << c.name;
    }
}

} // namespace
