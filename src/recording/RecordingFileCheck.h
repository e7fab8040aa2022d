// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a file is a sound recording, found out without changing it: its
// header read before SQLite opens it, a helper file beside it judged in a
// private copy, damage found by SQLite's page check and each row's
// checksum. The reader and the writer open recordings through here. Plain
// C++, no Qt: the journal's writer thread uses it.

#include "PrivateCopy.h"
#include "StoredRow.h"

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace recording_file {

// The first 100 bytes of a database file, as far as they tell whose it is.
struct Header {
    std::int64_t size = 0; // the file's length
    bool sqlite = false;   // it begins "SQLite format 3" and a zero byte
    bool wal = false;      // in write-ahead-log mode (bytes 18 and 19 are 2)
};
// Reads it from the file open at `fd`; false with errno set.
bool readHeader(int fd, Header *header);

// A database opened for reading that changes nothing on the disk and
// leaves nothing beside it: the file itself, or, where SQLite would have to
// recover it first (a journal left by a crash, a write-ahead log), a
// private copy of it and its helper file, recovered there.
class ReadOnlyDatabase {
public:
    ReadOnlyDatabase() = default;
    ~ReadOnlyDatabase() { close(); }
    ReadOnlyDatabase(const ReadOnlyDatabase &) = delete;
    ReadOnlyDatabase &operator=(const ReadOnlyDatabase &) = delete;

    // Opens `path` and reads its schema; `copy` reads a private copy
    // whatever lies beside it, `helpers` false leaves the helper files out
    // of it. False with the reason in `why`.
    bool open(const std::string &path, bool copy, std::string *why, bool helpers = true);
    sqlite3 *db() const { return db_; }
    void close();

private:
    int openAt(const std::string &target, bool writable);

    sqlite3 *db_ = nullptr;
    PrivateCopy copy_;
};

// The rows of a recording of `version`, in order, from ?1 up to ?2, at
// most ?3 of them: seq, unix_ms, … flow_m3_h, checksum (nulls where the
// version has no such column).
const char *selectRows(int version);
// The row at a statement of selectRows(), as stored.
StoredColumns storedColumns(sqlite3_stmt *st);
// Whether that row is whole: its frame of 16 bytes and its checksum (none
// for a row of version 1) the one its columns give.
bool verifies(sqlite3_stmt *st);

// `why` the recording at `path` was refused; where a helper file beside it
// is to blame (the file alone is a recording), that instead.
std::string blameHelper(const std::string &path, const std::string &why);

// Where a recording is damaged: "damaged at row N", "damaged (…)" for
// damage outside the rows; empty when every page and every row checks.
std::string damageIn(sqlite3 *db, int version);

} // namespace recording_file
