// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileCheck.h"

#include "RecordingFileSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recording_file {

namespace {

std::string_view textAt(sqlite3_stmt *st, int column)
{
    const unsigned char *t = sqlite3_column_text(st, column);
    return t ? std::string_view(reinterpret_cast<const char *>(t), std::size_t(sqlite3_column_bytes(st, column)))
             : std::string_view();
}
std::optional<std::string_view> optionalTextAt(sqlite3_stmt *st, int column)
{
    if (sqlite3_column_type(st, column) == SQLITE_NULL)
        return std::nullopt;
    return textAt(st, column);
}
std::optional<double> optionalRealAt(sqlite3_stmt *st, int column)
{
    if (sqlite3_column_type(st, column) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_double(st, column);
}

} // namespace

bool readHeader(int fd, Header *header)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    *header = Header{};
    header->size = st.st_size;
    unsigned char b[100] = {};
    ssize_t n;
    do
        n = ::pread(fd, b, sizeof b, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    header->sqlite = n == sizeof b && std::memcmp(b, "SQLite format 3", 16) == 0;
    header->wal = header->sqlite && b[18] == 2 && b[19] == 2;
    return true;
}

int ReadOnlyDatabase::openAt(const std::string &target, bool writable)
{
    int rc = sqlite3_open_v2(target.c_str(), &db_, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, 2000);
        // A file cut short opens only so; its rows up to the cut can then be
        // read, and the damage told by its row. Nothing is written here.
        sqlite3_exec(db_, "PRAGMA writable_schema=ON", nullptr, nullptr, nullptr);
        // The first read: a journal is found hot, or a log applied, here.
        rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    }
    return rc;
}

bool ReadOnlyDatabase::open(const std::string &path, bool copy, std::string *why, bool helpers)
{
    close();
    Header header;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !readHeader(fd, &header)) {
        *why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    if (header.size > 0 && !header.sqlite) {
        *why = "not a breezon recording (not an SQLite database)";
        return false;
    }
    // Read where it lies, unless SQLite would write beside it first: a
    // log to apply, or (found on the first read) a journal to roll back.
    int rc = SQLITE_READONLY;
    if (!copy && !header.wal && !hasHelperFile(path, "-wal")) {
        rc = openAt(path, false);
        if ((rc & 0xFF) == SQLITE_READONLY)
            close(); // a journal to roll back: a copy is read instead
    }
    if ((rc & 0xFF) == SQLITE_READONLY) {
        const std::string target = copy_.make(path, why, helpers);
        if (target.empty())
            return false;
        rc = openAt(target, true);
    }
    if (rc == SQLITE_OK)
        return true;
    *why = causeOf(db_, rc);
    close();
    return false;
}

void ReadOnlyDatabase::close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    copy_.remove();
}

std::string blameHelper(const std::string &path, const std::string &why)
{
    for (const char *suffix : {"-wal", "-journal"}) {
        if (!hasHelperFile(path, suffix))
            continue;
        ReadOnlyDatabase alone;
        std::string ignored;
        int version = 0;
        if (alone.open(path, true, &ignored, false) && whyNotOurs(alone.db(), &version).empty() &&
            damageIn(alone.db(), version).empty())
            return "the helper file " + path + suffix + " beside it belongs to another database; move it away";
    }
    return why;
}

const char *selectRows(int version)
{
    // Version 1 has no checksum and no SI columns: they read as null.
    return version >= 2 ? "SELECT seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                          "temperature_unit, marker, hold, speed, area, temperature_c, flow_m3_h, "
                          "checksum FROM sample WHERE seq >= ?1 AND seq <= ?2 ORDER BY seq LIMIT ?3"
                        : "SELECT seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                          "temperature_unit, marker, hold, speed, area, NULL, NULL, NULL "
                          "FROM sample WHERE seq >= ?1 AND seq <= ?2 ORDER BY seq LIMIT ?3";
}

StoredColumns storedColumns(sqlite3_stmt *st)
{
    StoredColumns s;
    s.seq = sqlite3_column_int64(st, 0);
    s.unixMs = sqlite3_column_int64(st, 1);
    s.time = textAt(st, 2);
    if (sqlite3_column_bytes(st, 3) == int(SampleFrame::kSize))
        std::memcpy(s.frame.data(), sqlite3_column_blob(st, 3), SampleFrame::kSize);
    s.mode = textAt(st, 4);
    s.value = optionalRealAt(st, 5);
    s.unit = optionalTextAt(st, 6);
    s.rh = sqlite3_column_double(st, 7);
    s.temperature = sqlite3_column_double(st, 8);
    s.temperatureUnit = textAt(st, 9);
    s.marker = optionalTextAt(st, 10);
    s.hold = textAt(st, 11);
    s.speed = sqlite3_column_double(st, 12);
    s.area = sqlite3_column_double(st, 13);
    s.temperatureC = sqlite3_column_double(st, 14);
    s.flowM3h = optionalRealAt(st, 15);
    return s;
}

bool verifies(sqlite3_stmt *st)
{
    if (sqlite3_column_bytes(st, 3) != int(SampleFrame::kSize))
        return false;
    return sqlite3_column_type(st, 16) == SQLITE_NULL ||
           std::uint32_t(sqlite3_column_int64(st, 16)) == storedColumns(st).checksum();
}

std::string damageIn(sqlite3 *db, int version)
{
    // Row by row first, so the damage is told by the row where it starts.
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, selectRows(version), -1, &st, nullptr);
    std::int64_t next = 0;
    std::string found;
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(st, 1, 0);
        sqlite3_bind_int64(st, 2, INT64_MAX);
        sqlite3_bind_int64(st, 3, -1);
        while ((rc = sqlite3_step(st)) == SQLITE_ROW && found.empty()) {
            const std::int64_t seq = sqlite3_column_int64(st, 0);
            if (seq < next || !verifies(st)) // out of order: a page read where there is none
                found = "damaged at row " + std::to_string(std::max(seq, next));
            next = seq + 1;
        }
    }
    sqlite3_finalize(st);
    if (!found.empty())
        return found;
    if (rc != SQLITE_DONE)
        return "damaged at row " + std::to_string(next) + " (" + lastError(db) + ")";
    // Then every page: damage outside the rows is damage too.
    st = nullptr;
    std::string pages = "ok";
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        pages = textAt(st, 0);
    else
        pages = lastError(db);
    sqlite3_finalize(st);
    return pages == "ok" ? std::string() : "damaged (" + pages.substr(0, pages.find('\n', 30)) + ")";
}

} // namespace recording_file
