// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a recording file back, row by row, as every output receives rows.
// Opening takes a snapshot: rows that a running recorder appends meanwhile
// are not seen, and a file whose last transaction was cut by a crash reads
// with every row committed before it.

#include "ExportResult.h"
#include "RowRecord.h"

#include <QString>

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

class RecordingFileReader {
public:
    RecordingFileReader() = default;
    ~RecordingFileReader() { close(); }
    RecordingFileReader(const RecordingFileReader &) = delete;
    RecordingFileReader &operator=(const RecordingFileReader &) = delete;

    // Refuses a file that is not a recording, saying why.
    ExportResult open(const QString &path);
    // Rows in the snapshot.
    std::int64_t rowCount() const { return rows_; }
    // The next row, numbered by its place in the recording from 0, with its
    // recorded time; false at the end, or on a failure with error() set.
    bool next(RowRecord &row);
    QString error() const { return error_; }
    void close();

private:
    bool fail(const QString &why);

    sqlite3 *db_ = nullptr;
    sqlite3_stmt *rowsQuery_ = nullptr;
    std::int64_t rows_ = 0;
    int seq_ = 0;
    QString error_;
};
