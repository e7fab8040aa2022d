// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileWriter.h"

#include "RecordingFileSchema.h"
#include "RowFields.h"

#include <sqlite3.h>

using recording_file::lastError;

StoredRow storedRow(const RowRecord &row)
{
    const RowFields f = rowFields(row);
    StoredRow s;
    s.unixMs = f.unixMs;
    s.time = f.time.toStdString();
    s.frame = row.frame.bytes;
    s.mode = f.mode.toStdString();
    if (!f.value.isEmpty())
        s.value = f.value.toDouble();
    s.unit = f.unit.toStdString();
    s.rh = f.rh.toDouble();
    s.temperature = f.temperature.toDouble();
    s.temperatureUnit = f.temperatureUnit.toStdString();
    s.marker = f.marker.toStdString();
    s.hold = f.hold.toStdString();
    s.speed = f.speed.toDouble();
    s.area = f.area.toDouble();
    return s;
}

namespace {

bool exec(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void bindText(sqlite3_stmt *st, int i, const std::string &text)
{
    if (text.empty())
        sqlite3_bind_null(st, i);
    else
        sqlite3_bind_text(st, i, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

} // namespace

bool RecordingFileWriter::fail(std::string *why)
{
    if (why)
        *why = lastError(db_);
    // A statement that failed half way leaves its transaction open on some
    // errors; the next attempt starts clean.
    if (db_ && !sqlite3_get_autocommit(db_))
        exec(db_, "ROLLBACK");
    return false;
}

bool RecordingFileWriter::open(const std::string &path, std::string *why)
{
    close();
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        fail(why);
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    // Another breezon appending to the same file holds its lock for one
    // row's commit at a time.
    sqlite3_busy_timeout(db_, 2000);
    bool fresh = false;
    std::string notOurs = recording_file::whyNotOurs(db_, &fresh);
    // WAL: a row's commit appends to one file and a crash cuts at most the
    // transaction in flight. FULL: each commit is synced, so a row reported
    // written (and printed by the recorder) survives a power cut too; at two
    // rows a second the sync costs nothing anyone notices.
    if (notOurs.empty() && (!exec(db_, "PRAGMA journal_mode=WAL") || !exec(db_, "PRAGMA synchronous=FULL")))
        notOurs = lastError(db_);
    if (notOurs.empty() && fresh) {
        // Made a recording under a write lock: a second writer that got
        // there first has made it one already.
        bool stillFresh = false;
        if (!exec(db_, "BEGIN IMMEDIATE"))
            notOurs = lastError(db_);
        else if ((notOurs = recording_file::whyNotOurs(db_, &stillFresh)).empty() && stillFresh) {
            const std::string pragmas = "PRAGMA application_id=" + std::to_string(recording_file::kApplicationId) +
                                        ";PRAGMA user_version=" + std::to_string(recording_file::kVersion);
            if (!exec(db_, recording_file::kSchema) || !exec(db_, pragmas.c_str()))
                notOurs = lastError(db_);
        }
        if (notOurs.empty() && !sqlite3_get_autocommit(db_) && !exec(db_, "COMMIT"))
            notOurs = lastError(db_);
        if (!notOurs.empty())
            fail(nullptr);
    }
    if (notOurs.empty() &&
        sqlite3_prepare_v3(db_,
                           "INSERT INTO sample (seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                           "temperature_unit, marker, hold, speed, area) VALUES ("
                           "(SELECT IFNULL(MAX(seq) + 1, 0) FROM sample), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, SQLITE_PREPARE_PERSISTENT, &insert_, nullptr) != SQLITE_OK)
        notOurs = lastError(db_);
    if (!notOurs.empty()) {
        if (why)
            *why = notOurs;
        close();
        return false;
    }
    return true;
}

bool RecordingFileWriter::noteStart(const Facts &facts, std::string *why)
{
    if (!db_ || !exec(db_, "BEGIN IMMEDIATE"))
        return fail(why);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_, "INSERT INTO recording (key, value) VALUES (?, ?)", -1, &st, nullptr) != SQLITE_OK)
        return fail(why);
    bool ok = true;
    for (const auto &[key, value] : facts) {
        bindText(st, 1, key);
        sqlite3_bind_text(st, 2, value.data(), int(value.size()), SQLITE_TRANSIENT);
        ok = ok && sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    if (!ok || !exec(db_, "COMMIT"))
        return fail(why);
    return true;
}

bool RecordingFileWriter::write(const StoredRow &row, std::string *why)
{
    if (!db_)
        return false;
    // After a failure (a full disk) the write-ahead log may hold the space
    // the row needs: move it into the database and shorten the log first.
    if (retrying_)
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_stmt *st = insert_;
    sqlite3_bind_int64(st, 1, row.unixMs);
    sqlite3_bind_text(st, 2, row.time.data(), int(row.time.size()), SQLITE_STATIC);
    sqlite3_bind_blob(st, 3, row.frame.data(), int(row.frame.size()), SQLITE_STATIC);
    bindText(st, 4, row.mode);
    if (row.value)
        sqlite3_bind_double(st, 5, *row.value);
    else
        sqlite3_bind_null(st, 5);
    bindText(st, 6, row.unit);
    sqlite3_bind_double(st, 7, row.rh);
    sqlite3_bind_double(st, 8, row.temperature);
    bindText(st, 9, row.temperatureUnit);
    bindText(st, 10, row.marker);
    bindText(st, 11, row.hold);
    sqlite3_bind_double(st, 12, row.speed);
    sqlite3_bind_double(st, 13, row.area);
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok && why)
        *why = lastError(db_);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    retrying_ = !ok;
    if (!ok)
        return fail(nullptr);
    return true;
}

void RecordingFileWriter::close()
{
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    retrying_ = false;
}
