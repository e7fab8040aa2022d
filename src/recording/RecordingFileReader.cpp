// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileReader.h"

#include "RecordingFileSchema.h"
#include "StoredRow.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>

namespace {

// Rows per read: small enough that a writer waits a few milliseconds at most.
constexpr int kChunkRows = 4096;

// The offset from the end of "2026-12-08T11:29:31.512+01:00"; 0 when the
// text has none.
std::int32_t offsetOf(const unsigned char *text, int size)
{
    if (!text || size < 6)
        return 0;
    const unsigned char *o = text + size - 6;
    auto digit = [](unsigned char c) { return c >= '0' && c <= '9' ? c - '0' : -1; };
    const int h1 = digit(o[1]), h2 = digit(o[2]), m1 = digit(o[4]), m2 = digit(o[5]);
    if ((o[0] != '+' && o[0] != '-') || o[3] != ':' || h1 < 0 || h2 < 0 || m1 < 0 || m2 < 0)
        return 0;
    const std::int32_t seconds = ((h1 * 10 + h2) * 60 + m1 * 10 + m2) * 60;
    return o[0] == '-' ? -seconds : seconds;
}

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

// The row's checksum as its columns give it (the frame is known whole).
std::uint32_t checksumOfColumns(sqlite3_stmt *st)
{
    StoredColumns s;
    s.seq = sqlite3_column_int64(st, 0);
    s.unixMs = sqlite3_column_int64(st, 1);
    s.time = textAt(st, 2);
    s.frame = static_cast<const std::uint8_t *>(sqlite3_column_blob(st, 3));
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
    return checksumOf(s);
}

} // namespace

bool RecordingFileReader::fail(const QString &why)
{
    error_ = why;
    return false;
}

ExportResult RecordingFileReader::open(const QString &path)
{
    close();
    error_.clear();
    // SQLite would make an empty database of a name that is not there.
    if (!QFileInfo(path).isFile())
        return ExportResult::failure(QFileInfo::exists(path) ? QStringLiteral("not a file")
                                                             : QStringLiteral("No such file or directory"));
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString why = QString::fromStdString(recording_file::lastError(db_));
        close();
        return ExportResult::failure(why);
    }
    sqlite3_busy_timeout(db_, 2000);
    std::string why = recording_file::whyNotOurs(db_, &version_);
    sqlite3_stmt *count = nullptr;
    if (why.empty() &&
        // The first and last numbers come from the table's key at once; a
        // count(*) would read every page of a large file.
        (sqlite3_prepare_v2(db_, "SELECT IFNULL(MAX(seq) - MIN(seq) + 1, 0), IFNULL(MAX(seq), -1) FROM sample", -1,
                            &count, nullptr) !=
             SQLITE_OK ||
         sqlite3_step(count) != SQLITE_ROW))
        why = recording_file::lastError(db_);
    if (why.empty()) {
        rows_ = sqlite3_column_int64(count, 0);
        last_ = sqlite3_column_int64(count, 1);
    }
    sqlite3_finalize(count);
    // Version 1 has no checksum and no SI columns: they read as null.
    const char *sql = version_ >= 2 ? "SELECT seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                                      "temperature_unit, marker, hold, speed, area, temperature_c, flow_m3_h, "
                                      "checksum FROM sample WHERE seq >= ?1 AND seq <= ?2 ORDER BY seq LIMIT ?3"
                                    : "SELECT seq, unix_ms, time, frame, mode, value, unit, rh, temperature, "
                                      "temperature_unit, marker, hold, speed, area, NULL, NULL, NULL "
                                      "FROM sample WHERE seq >= ?1 AND seq <= ?2 ORDER BY seq LIMIT ?3";
    if (why.empty() && sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &query_, nullptr) != SQLITE_OK)
        why = recording_file::lastError(db_);
    if (!why.empty()) {
        close();
        return ExportResult::failure(QString::fromStdString(why));
    }
    end_ = last_;
    return ExportResult::success();
}

std::int64_t RecordingFileReader::rowsIn(const QString &path)
{
    RecordingFileReader reader;
    return reader.open(path).ok ? reader.rowCount() : 0;
}

void RecordingFileReader::seek(std::int64_t seq, std::int64_t last)
{
    from_ = seq;
    end_ = last < 0 ? last_ : last;
    inChunk_ = 0;
    if (query_)
        sqlite3_reset(query_);
}

void RecordingFileReader::fetch()
{
    sqlite3_reset(query_); // ends the previous piece's read
    sqlite3_bind_int64(query_, 1, from_);
    sqlite3_bind_int64(query_, 2, end_);
    sqlite3_bind_int(query_, 3, kChunkRows);
    inChunk_ = kChunkRows;
}

bool RecordingFileReader::next(RowRecord &row)
{
    if (!query_)
        return false;
    for (;;) {
        if (from_ > end_)
            return false;
        if (inChunk_ == 0)
            fetch();
        const int step = sqlite3_step(query_);
        if (step == SQLITE_DONE) { // a piece short of its limit: nothing more up to end_
            inChunk_ = 0;
            sqlite3_reset(query_);
            return false;
        }
        if (step != SQLITE_ROW)
            return fail(QStringLiteral("damaged from row %1 on: %2")
                            .arg(from_)
                            .arg(QString::fromStdString(recording_file::lastError(db_))));
        --inChunk_;
        const std::int64_t seq = sqlite3_column_int64(query_, 0);
        from_ = seq + 1;
        const bool frameWhole = sqlite3_column_bytes(query_, 3) == int(SampleFrame::kSize);
        const bool checked = sqlite3_column_type(query_, 16) != SQLITE_NULL;
        if (!frameWhole ||
            (checked && std::uint32_t(sqlite3_column_int64(query_, 16)) != checksumOfColumns(query_))) {
            if (damaged_++ == 0)
                firstDamaged_ = seq;
            continue;
        }
        std::memcpy(row.frame.bytes.data(), sqlite3_column_blob(query_, 3), SampleFrame::kSize);
        row.time.unixMs = sqlite3_column_int64(query_, 1);
        row.time.utcOffsetS = offsetOf(sqlite3_column_text(query_, 2), sqlite3_column_bytes(query_, 2));
        row.reading = decodeFrame(row.frame);
        row.seq = int(seq);
        return true;
    }
}

void RecordingFileReader::close()
{
    sqlite3_finalize(query_);
    query_ = nullptr;
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    rows_ = 0;
    last_ = -1;
    from_ = 0;
    end_ = -1;
    inChunk_ = 0;
    version_ = 0;
    damaged_ = 0;
    firstDamaged_ = -1;
}
