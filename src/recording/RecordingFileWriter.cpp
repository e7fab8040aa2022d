// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileWriter.h"

#include "RecordingFileCheck.h"
#include "RecordingFileSchema.h"

#include "PosixFile.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using recording_file::lastError;

namespace {

bool exec(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void bindValue(sqlite3_stmt *st, int i, const std::string &text)
{
    sqlite3_bind_text(st, i, text.data(), int(text.size()), SQLITE_STATIC);
}
void bindValue(sqlite3_stmt *st, int i, std::int64_t number) { sqlite3_bind_int64(st, i, number); }
void bindValue(sqlite3_stmt *st, int i, const std::optional<std::string> &text)
{
    text ? bindValue(st, i, *text) : void(sqlite3_bind_null(st, i));
}
void bindValue(sqlite3_stmt *st, int i, const std::optional<double> &v)
{
    v ? void(sqlite3_bind_double(st, i, *v)) : void(sqlite3_bind_null(st, i));
}

// Inserts each (key, value) of `pairs` with `sql`, in the caller's transaction.
template <class Pairs>
bool insertPairs(sqlite3 *db, const char *sql, const Pairs &pairs)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    for (const auto &[key, value] : pairs) {
        bindValue(st, 1, key);
        bindValue(st, 2, value);
        ok = ok && sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    return ok;
}

constexpr const char *kWriteMarks = "INSERT OR REPLACE INTO outbox (destination, delivered) VALUES (?, ?)";

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

// Makes an empty database a recording, under a write lock: a second writer
// that got there first has made it one already.
bool RecordingFileWriter::create(std::string *why)
{
    if (!exec(db_, "BEGIN IMMEDIATE"))
        return fail(why);
    bool fresh = false;
    std::string notOurs = recording_file::whyNotOurs(db_, nullptr, &fresh);
    if (notOurs.empty() && fresh) {
        const std::string id = "PRAGMA application_id=" + std::to_string(recording_file::kApplicationId);
        if (!exec(db_, recording_file::kSchemaV1) || !exec(db_, recording_file::kUpgradeToV2) || !exec(db_, id.c_str()))
            return fail(why);
    }
    if (!notOurs.empty()) {
        if (why)
            *why = notOurs;
        exec(db_, "ROLLBACK");
        return false;
    }
    return exec(db_, "COMMIT") || fail(why);
}

// Why the file cannot be opened for writing, in the user's terms.
std::string RecordingFileWriter::refuseOpen(const std::string &path, int error)
{
    if (error == ENOENT) {
        const std::size_t slash = path.rfind('/');
        return "the folder " + (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
               " does not exist";
    }
    if (error == EACCES || error == EPERM || error == EROFS)
        return std::string("read-only (") + std::strerror(error) + ")";
    return std::strerror(error);
}

// Every check that a file may be written runs before SQLite opens it for
// writing, so a file refused is never changed: its header first; then, if
// a helper file lies beside it or it has rows, the recording as SQLite
// would make it (a helper file's changes applied in a private copy), and
// its damage.
std::string RecordingFileWriter::check(const std::string &path)
{
    recording_file::Header header;
    if (!recording_file::readHeader(lockFd_, &header))
        return std::strerror(errno);
    const bool helper = recording_file::hasHelperFile(path, "-wal") || recording_file::hasHelperFile(path, "-journal");
    if (header.size == 0 && !helper)
        return {};
    if (header.size > 0 && !header.sqlite)
        return "not a breezon recording (not an SQLite database)";
    recording_file::ReadOnlyDatabase recovered;
    std::string why;
    int version = 0;
    bool fresh = false;
    if (recovered.open(path, helper || header.wal, &why))
        why = recording_file::whyNotOurs(recovered.db(), &version, &fresh);
    if (why.empty() && !fresh)
        why = recording_file::damageIn(recovered.db(), version);
    if (!why.empty() && helper)
        why = recording_file::blameHelper(path, why);
    if (why.rfind("damaged", 0) == 0)
        why += "; --from " + path + " --breezon NEW_FILE keeps the rows that verify";
    return why;
}

bool RecordingFileWriter::open(const std::string &path, std::string *why)
{
    close();
    // Held while the file is written: a second writer is refused at once.
    made_ = true;
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (lockFd_ < 0 && errno == EEXIST) {
        made_ = false;
        lockFd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    std::string notOurs;
    if (lockFd_ < 0)
        notOurs = refuseOpen(path, errno);
    else if (!posix_file::lockForThisProcess(lockFd_)) // the lock every breezon file carries
        notOurs = posix_file::lockErrorText(errno).toStdString();
    else
        notOurs = check(path);
    if (notOurs.empty() && sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        notOurs = lastError(db_);
    if (!notOurs.empty()) {
        if (made_ && lockFd_ >= 0)
            ::unlink(path.c_str());
        if (why)
            *why = notOurs;
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 2000);
    int version = 0;
    bool fresh = false;
    notOurs = recording_file::whyNotOurs(db_, &version, &fresh);
    // A rollback journal: every committed row is in the file itself, and no
    // helper file is left between rows, so a copy of the file alone is a
    // whole recording. EXTRA syncs the folder once the journal is gone, so
    // a row reported written (and printed by the recorder) survives a power
    // cut. A file of an older version in WAL mode has its log folded in here.
    if (notOurs.empty() && (!setJournal() || !exec(db_, "PRAGMA synchronous=EXTRA")))
        notOurs = recording_file::causeOf(db_, sqlite3_extended_errcode(db_));
    bool ok = notOurs.empty();
    if (ok && fresh)
        ok = create(&notOurs);
    else if (ok && version < recording_file::kVersion) {
        // An older recording goes on in today's layout; its rows stay as they are.
        ok = (exec(db_, "BEGIN IMMEDIATE") && exec(db_, recording_file::kUpgradeToV2) && exec(db_, "COMMIT")) ||
             fail(&notOurs);
    }
    if (ok && recording_file::queryInt(db_, "SELECT IFNULL(MAX(seq) + 1, 0) FROM sample", &nextSeq_) != SQLITE_OK)
        ok = fail(&notOurs);
    sqlite3_stmt *st = nullptr;
    if (ok && sqlite3_prepare_v2(db_, "SELECT destination, delivered FROM outbox", -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW)
            marks_[reinterpret_cast<const char *>(sqlite3_column_text(st, 0))] = sqlite3_column_int64(st, 1);
    } else if (ok)
        ok = fail(&notOurs);
    sqlite3_finalize(st);
    if (ok &&
        sqlite3_prepare_v3(db_,
                           "INSERT INTO sample (seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                           "temperature_unit, marker, hold, speed, area, temperature_c, flow_m3_h, checksum) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, SQLITE_PREPARE_PERSISTENT, &insert_, nullptr) != SQLITE_OK)
        ok = fail(&notOurs);
    if (!ok) {
        if (why)
            *why = notOurs;
        close();
    }
    return ok;
}

bool RecordingFileWriter::setJournal()
{
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(db_, "PRAGMA journal_mode=DELETE", -1, &st, nullptr) == SQLITE_OK &&
              sqlite3_step(st) == SQLITE_ROW &&
              std::strcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "delete") == 0;
    sqlite3_finalize(st);
    return ok;
}

bool RecordingFileWriter::noteStart(const Facts &facts, std::string *why)
{
    if (!db_ || !exec(db_, "BEGIN IMMEDIATE") ||
        !insertPairs(db_, "INSERT INTO recording (key, value) VALUES (?, ?)", facts) || !exec(db_, "COMMIT"))
        return fail(why);
    return true;
}

std::int64_t RecordingFileWriter::delivered(const std::string &destination) const
{
    if (const auto it = pending_.find(destination); it != pending_.end())
        return it->second;
    const auto it = marks_.find(destination);
    return it == marks_.end() ? -1 : it->second;
}

void RecordingFileWriter::noteDelivered(const std::string &destination, std::int64_t seq)
{
    if (delivered(destination) != seq)
        pending_[destination] = seq;
}

bool RecordingFileWriter::writeMarks(std::string *why)
{
    if (!db_ || pending_.empty())
        return db_ != nullptr;
    if (!exec(db_, "BEGIN IMMEDIATE") || !insertPairs(db_, kWriteMarks, pending_) || !exec(db_, "COMMIT"))
        return fail(why);
    keepMarks();
    return true;
}

void RecordingFileWriter::keepMarks()
{
    for (const auto &[destination, seq] : pending_)
        marks_[destination] = seq;
    pending_.clear();
}

bool RecordingFileWriter::write(const StoredRow &row, std::string *why)
{
    if (!db_)
        return false;
    const bool marks = !pending_.empty();
    if (marks && !inBatch_ && !exec(db_, "BEGIN IMMEDIATE"))
        return fail(why);
    sqlite3_stmt *st = insert_;
    sqlite3_bind_int64(st, 1, row.seq);
    sqlite3_bind_int64(st, 2, row.unixMs);
    bindValue(st, 3, row.time);
    sqlite3_bind_blob(st, 4, row.frame.data(), int(row.frame.size()), SQLITE_STATIC);
    bindValue(st, 5, row.mode);
    bindValue(st, 6, row.value);
    bindValue(st, 7, row.unit);
    sqlite3_bind_double(st, 8, row.rh);
    sqlite3_bind_double(st, 9, row.temperature);
    bindValue(st, 10, row.temperatureUnit);
    bindValue(st, 11, row.marker);
    bindValue(st, 12, row.hold);
    sqlite3_bind_double(st, 13, row.speed);
    sqlite3_bind_double(st, 14, row.area);
    sqlite3_bind_double(st, 15, row.temperatureC);
    bindValue(st, 16, row.flowM3h);
    sqlite3_bind_int64(st, 17, row.checksum());
    const int rc = sqlite3_step(st);
    // The message is taken before the reset and the rollback, which clear it.
    std::string stepError;
    if (rc != SQLITE_DONE)
        stepError = rc == SQLITE_CONSTRAINT_PRIMARYKEY ? "row " + std::to_string(row.seq) + " is in the file already"
                                                       : lastError(db_);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc != SQLITE_DONE) {
        fail(nullptr);
        if (why)
            *why = stepError;
        return false;
    }
    if (marks && !(insertPairs(db_, kWriteMarks, pending_) && (inBatch_ || exec(db_, "COMMIT"))))
        return fail(why);
    keepMarks();
    nextSeq_ = std::max(nextSeq_, row.seq + 1);
    return true;
}

bool RecordingFileWriter::beginBatch(std::string *why)
{
    if (!db_ || !exec(db_, "BEGIN IMMEDIATE"))
        return fail(why);
    inBatch_ = true;
    return true;
}

bool RecordingFileWriter::commitBatch(std::string *why)
{
    inBatch_ = false;
    return (db_ && exec(db_, "COMMIT")) || fail(why);
}

void RecordingFileWriter::close()
{
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    // Only once SQLite has let go of the file: closing another descriptor
    // of it would drop the locks SQLite holds on it.
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
    inBatch_ = false;
    made_ = false;
    marks_.clear();
    pending_.clear();
    nextSeq_ = 0;
}
