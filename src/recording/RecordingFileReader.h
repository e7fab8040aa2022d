// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a recording file back, row by row, as every output receives rows:
// each row with its own number and recorded time. Opening fixes the last
// row read, so rows that a running recorder appends meanwhile are not seen.
// The rows are read in pieces, each its own short read that has ended
// before next() returns, so a writer never waits on a reader for more than
// a few milliseconds. Nothing is written where the file lies (see
// recording_file::ReadOnlyDatabase).
//
// A row whose checksum does not match is not a reading: it is skipped and
// counted, and so are rows on a page that cannot be read; reading goes on
// after them.

#include "ExportResult.h"
#include "RecordingFileCheck.h"
#include "RowRecord.h"

#include <QString>

#include <cstdint>
#include <vector>

struct sqlite3_stmt;

class RecordingFileReader {
public:
    RecordingFileReader() = default;
    ~RecordingFileReader() { close(); }
    RecordingFileReader(const RecordingFileReader &) = delete;
    RecordingFileReader &operator=(const RecordingFileReader &) = delete;

    // Refuses a file that is not a recording, saying why.
    ExportResult open(const QString &path);
    // The rows a recording holds now; 0 when it cannot be read.
    static std::int64_t rowsIn(const QString &path);
    // Rows up to the last one at opening, and that last row's number (-1
    // for none; the largest possible when the end cannot be read).
    std::int64_t rowCount() const { return rows_; }
    std::int64_t lastSeq() const { return last_; }
    // The last value of `key` among the recording's facts (its table
    // `recording`: "name", "host", "port", …); empty when it has none.
    QString fact(const char *key) const;

    // Reading goes on from row `seq`, up to `last` (the last at opening when
    // negative; a larger one reads rows written since, when there are),
    // trying again after a failed read.
    void seek(std::int64_t seq, std::int64_t last = -1);
    // The next good row; false at the end, or on a failure with error() set.
    bool next(RowRecord &row);
    QString error() const { return error_; }
    // Rows left out so far because they failed their checksum or lay on a
    // page that cannot be read, and the first of them (-1 for none).
    std::int64_t damagedRows() const { return damaged_; }
    std::int64_t firstDamaged() const { return firstDamaged_; }
    void close();

private:
    bool fetch();
    bool skipDamage();
    void noteDamaged(std::int64_t seq, std::int64_t count);

    recording_file::ReadOnlyDatabase base_;
    sqlite3_stmt *query_ = nullptr;
    std::vector<RowRecord> piece_; // read, not yet given
    std::size_t at_ = 0;           // the next of piece_ to give
    bool exhausted_ = false;       // nothing more up to end_
    bool endKnown_ = true;         // false: the last rows cannot be found
    std::int64_t rows_ = 0;
    std::int64_t last_ = -1;
    std::int64_t from_ = 0; // the next row to read from the file
    std::int64_t end_ = -1; // the last row to read
    std::int64_t damaged_ = 0;
    std::int64_t firstDamaged_ = -1;
    QString error_;
};
