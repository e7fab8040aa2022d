// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes rows into a recording file, one transaction each. Plain data in,
// no Qt: the window's journal runs it on a thread of its own.

#include "RowRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A row as the sample table keeps it, made on the owner's thread from the
// row's fields (the shared vocabulary of RowFields).
struct StoredRow {
    std::int64_t unixMs = 0;
    std::string time;
    std::array<std::uint8_t, SampleFrame::kSize> frame{};
    std::string mode, unit, temperatureUnit, marker, hold; // an empty unit or marker is stored as null
    std::optional<double> value;
    double rh = 0, temperature = 0, speed = 0, area = 0;
};
StoredRow storedRow(const RowRecord &row);

// The facts noted at each start: ("started", "2026-…"), ("port", …), …
using Facts = std::vector<std::pair<std::string, std::string>>;

class RecordingFileWriter {
public:
    RecordingFileWriter() = default;
    ~RecordingFileWriter() { close(); }
    RecordingFileWriter(const RecordingFileWriter &) = delete;
    RecordingFileWriter &operator=(const RecordingFileWriter &) = delete;

    // Creates the file, or continues a recording already in it (never
    // empties it); refuses a file that is not a recording. On failure the
    // reason is in `why` and the writer stays closed.
    bool open(const std::string &path, std::string *why);
    bool isOpen() const { return db_ != nullptr; }
    // Appends the facts of a start in one transaction.
    bool noteStart(const Facts &facts, std::string *why);
    // Appends one row, numbered on from the last row in the file, in one
    // transaction that is on the disk when this returns true.
    bool write(const StoredRow &row, std::string *why);
    void close();

private:
    bool fail(std::string *why);

    sqlite3 *db_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
    bool retrying_ = false;
};
