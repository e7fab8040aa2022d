// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileReader.h"

#include "RecordingFileSchema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
#include <limits>

using recording_file::queryInt;

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

bool unreadable(int rc) { return (rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB; }

} // namespace

ExportResult RecordingFileReader::open(const QString &path)
{
    close();
    error_.clear();
    // SQLite would make an empty database of a name that is not there.
    if (!QFileInfo(path).isFile())
        return ExportResult::failure(QFileInfo::exists(path) ? QStringLiteral("not a file")
                                                             : QStringLiteral("No such file or directory"));
    const std::string name = QFile::encodeName(path).toStdString();
    std::string why;
    int version = 0;
    if (base_.open(name, false, &why))
        why = recording_file::whyNotOurs(base_.db(), &version);
    if (!why.empty()) {
        close();
        return ExportResult::failure(QString::fromStdString(recording_file::blameHelper(name, why)));
    }
    sqlite3 *db = base_.db();
    // Where the last page cannot be read (a file cut short), the rows are
    // read up to the damage, which is then told.
    if (const int rc = queryInt(db, "SELECT IFNULL(MAX(seq), -1) FROM sample", &last_); rc != SQLITE_OK) {
        if (!unreadable(rc))
            why = recording_file::causeOf(db, rc);
        last_ = std::numeric_limits<int>::max();
        endKnown_ = false;
    }
    // The rows by their numbers, from the table's key at once: a count(*)
    // would read every page of a large file.
    std::int64_t first = 0;
    if (why.empty() && queryInt(db, "SELECT IFNULL(MIN(seq), 0) FROM sample", &first) == SQLITE_OK && endKnown_)
        rows_ = last_ < 0 ? 0 : last_ - first + 1;
    if (why.empty() && sqlite3_prepare_v3(db, recording_file::selectRows(version), -1, SQLITE_PREPARE_PERSISTENT,
                                          &query_, nullptr) != SQLITE_OK)
        why = recording_file::lastError(db);
    if (!why.empty()) {
        close();
        return ExportResult::failure(QString::fromStdString(why));
    }
    end_ = last_;
    return ExportResult::success();
}

QString RecordingFileReader::fact(const char *key) const
{
    sqlite3_stmt *st = nullptr;
    QString value;
    if (base_.db() && sqlite3_prepare_v2(base_.db(), "SELECT value FROM recording WHERE key = ? ORDER BY rowid DESC LIMIT 1",
                                         -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, key, -1, SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
    return value;
}

std::int64_t RecordingFileReader::rowsIn(const QString &path)
{
    RecordingFileReader reader;
    return reader.open(path).ok ? reader.rowCount() : 0;
}

void RecordingFileReader::seek(std::int64_t seq, std::int64_t last)
{
    const std::int64_t end = last < 0 ? last_ : last;
    // To the very next row, as a publisher asks, a few rows at a time: the
    // piece read goes on.
    if (at_ < piece_.size() && piece_[at_].seq == seq && end >= end_) {
        exhausted_ = exhausted_ && end == end_;
        end_ = end;
        return;
    }
    from_ = seq;
    end_ = end;
    piece_.clear();
    at_ = 0;
    exhausted_ = false;
    error_.clear(); // a read that failed is tried again from here
}

void RecordingFileReader::noteDamaged(std::int64_t seq, std::int64_t count)
{
    if (damaged_ == 0)
        firstDamaged_ = seq;
    damaged_ += count;
}

// Reads the next piece into memory and ends the read; false on a failure.
bool RecordingFileReader::fetch()
{
    piece_.clear();
    at_ = 0;
    sqlite3_bind_int64(query_, 1, from_);
    sqlite3_bind_int64(query_, 2, end_);
    sqlite3_bind_int(query_, 3, kChunkRows);
    int got = 0;
    int rc;
    while ((rc = sqlite3_step(query_)) == SQLITE_ROW) {
        ++got;
        const std::int64_t seq = sqlite3_column_int64(query_, 0);
        // A row out of order is a page read where there is none (a file
        // cut short reads as zeros).
        if (seq < from_) {
            rc = SQLITE_CORRUPT;
            break;
        }
        from_ = seq + 1;
        if (!recording_file::verifies(query_)) {
            noteDamaged(seq, 1);
            continue;
        }
        RowRecord &row = piece_.emplace_back();
        std::memcpy(row.frame.bytes.data(), sqlite3_column_blob(query_, 3), SampleFrame::kSize);
        row.time.unixMs = sqlite3_column_int64(query_, 1);
        row.time.utcOffsetS = offsetOf(sqlite3_column_text(query_, 2), sqlite3_column_bytes(query_, 2));
        row.reading = decodeFrame(row.frame);
        row.seq = int(seq);
    }
    if (rc == SQLITE_DONE) {
        sqlite3_reset(query_); // the read ends here, before any row is given
        exhausted_ = got < kChunkRows || from_ > end_;
        return true;
    }
    // Taken before the reset, which clears SQLite's message.
    const QString cause = QString::fromStdString(unreadable(rc) ? "damaged at row " + std::to_string(from_) + " (" +
                                                                        recording_file::lastError(base_.db()) + ")"
                                                                  : recording_file::causeOf(base_.db(), rc));
    sqlite3_reset(query_);
    if (unreadable(rc) && skipDamage())
        return true;
    error_ = cause;
    return false;
}

// A page that cannot be read lies at from_: reading goes on at the first
// row after it that can be found, and the rows between count as damaged.
// False when none can be found and the file's end is not known: the rest
// cannot be read.
bool RecordingFileReader::skipDamage()
{
    const auto readable = [this](std::int64_t seq) {
        sqlite3_bind_int64(query_, 1, seq);
        sqlite3_bind_int64(query_, 2, end_);
        sqlite3_bind_int(query_, 3, 1);
        const bool found = sqlite3_step(query_) == SQLITE_ROW && sqlite3_column_int64(query_, 0) >= seq;
        sqlite3_reset(query_);
        return found;
    };
    std::int64_t bad = from_, good = end_ + 1;
    for (std::int64_t step = 1; from_ + step <= end_; step *= 2) {
        if (readable(from_ + step)) {
            good = from_ + step;
            break;
        }
        bad = from_ + step;
    }
    while (good - bad > 1) {
        const std::int64_t mid = bad + (good - bad) / 2;
        (readable(mid) ? good : bad) = mid;
    }
    if (good > end_ && !endKnown_)
        return false; // nothing after it can be found: the rest is lost
    noteDamaged(from_, good - from_);
    from_ = good;
    return true;
}

bool RecordingFileReader::next(RowRecord &row)
{
    if (!query_)
        return false;
    while (at_ == piece_.size()) {
        if (exhausted_ || from_ > end_ || !error_.isEmpty())
            return false;
        if (!fetch())
            return false;
    }
    row = piece_[at_++];
    return true;
}

void RecordingFileReader::close()
{
    sqlite3_finalize(query_);
    query_ = nullptr;
    base_.close();
    piece_.clear();
    at_ = 0;
    exhausted_ = false;
    endKnown_ = true;
    rows_ = 0;
    last_ = -1;
    from_ = 0;
    end_ = -1;
    damaged_ = 0;
    firstDamaged_ = -1;
}
