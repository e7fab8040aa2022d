// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileReader.h"

#include "Frame.h"
#include "RecordingFileSchema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>

namespace {

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
    std::string why = recording_file::whyNotOurs(db_);
    // One read transaction over the count and the rows: one snapshot.
    sqlite3_stmt *count = nullptr;
    if (why.empty() &&
        (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK ||
         sqlite3_prepare_v2(db_, "SELECT count(*) FROM sample", -1, &count, nullptr) != SQLITE_OK ||
         sqlite3_step(count) != SQLITE_ROW ||
         sqlite3_prepare_v2(db_, "SELECT unix_ms, time, frame FROM sample ORDER BY seq", -1, &rowsQuery_,
                            nullptr) != SQLITE_OK))
        why = recording_file::lastError(db_);
    if (count)
        rows_ = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    if (!why.empty()) {
        close();
        return ExportResult::failure(QString::fromStdString(why));
    }
    return ExportResult::success();
}

bool RecordingFileReader::next(RowRecord &row)
{
    if (!rowsQuery_)
        return false;
    const int step = sqlite3_step(rowsQuery_);
    if (step == SQLITE_DONE)
        return false;
    if (step != SQLITE_ROW)
        return fail(QString::fromStdString(recording_file::lastError(db_)));
    const int frameBytes = sqlite3_column_bytes(rowsQuery_, 2);
    if (frameBytes != int(SampleFrame::kSize))
        return fail(QStringLiteral("row %1 holds a frame of %2 bytes, not %3").arg(seq_).arg(frameBytes).arg(SampleFrame::kSize));
    std::memcpy(row.frame.bytes.data(), sqlite3_column_blob(rowsQuery_, 2), SampleFrame::kSize);
    row.time.unixMs = sqlite3_column_int64(rowsQuery_, 0);
    row.time.utcOffsetS = offsetOf(sqlite3_column_text(rowsQuery_, 1), sqlite3_column_bytes(rowsQuery_, 1));
    row.reading = decodeFrame(row.frame);
    row.seq = seq_++;
    return true;
}

void RecordingFileReader::close()
{
    sqlite3_finalize(rowsQuery_);
    rowsQuery_ = nullptr;
    if (db_)
        sqlite3_close_v2(db_); // ends the read transaction
    db_ = nullptr;
    rows_ = 0;
    seq_ = 0;
}
