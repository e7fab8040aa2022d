// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes rows into a recording file, one transaction each. Plain data in,
// no Qt: the window's journal runs it on a thread of its own.

#include "StoredRow.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The facts noted at each start: ("started", "2026-…"), ("port", …), …
using Facts = std::vector<std::pair<std::string, std::string>>;

class RecordingFileWriter {
public:
    RecordingFileWriter() = default;
    ~RecordingFileWriter() { close(); }
    RecordingFileWriter(const RecordingFileWriter &) = delete;
    RecordingFileWriter &operator=(const RecordingFileWriter &) = delete;

    // Creates the file, or continues a recording already in it (never
    // empties it; one of an older version is brought to this one); refuses
    // a file that is not a recording, a damaged one, one with another
    // database's helper file beside it, and one that another breezon
    // writes, without changing it. On failure the reason is in `why` and
    // the writer stays closed.
    bool open(const std::string &path, std::string *why);
    bool isOpen() const { return db_ != nullptr; }
    // This open made the file (it did not exist before).
    bool made() const { return made_; }
    // The number the next row gets: one past the file's last row.
    std::int64_t nextSeq() const { return nextSeq_; }

    // Appends the facts of a start in one transaction.
    bool noteStart(const Facts &facts, std::string *why);
    // Appends one row under its own number (refused when the file has that
    // row already), in one transaction that is on the disk when this
    // returns true. Outbox marks noted since go into the same transaction.
    bool write(const StoredRow &row, std::string *why);

    // Rows written between these two go in one transaction (a file made in
    // one go, as the benchmarks make theirs); a failure loses all of them.
    bool beginBatch(std::string *why);
    bool commitBatch(std::string *why);

    // The outbox: the last row each network destination has taken (-1 for
    // none). A new mark is kept with the next row's transaction, or by
    // writeMarks().
    std::int64_t delivered(const std::string &destination) const;
    void noteDelivered(const std::string &destination, std::int64_t seq);
    bool writeMarks(std::string *why);

    void close();

private:
    bool fail(std::string *why);
    void keepMarks(); // the pending delivery marks are in the file now
    static std::string refuseOpen(const std::string &path, int error);
    std::string check(const std::string &path);
    bool setJournal();
    bool create(std::string *why);

    int lockFd_ = -1; // the file, locked against a second writer
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
    std::int64_t nextSeq_ = 0;
    std::map<std::string, std::int64_t> marks_;   // as in the file
    std::map<std::string, std::int64_t> pending_; // noted, not yet in the file
    bool inBatch_ = false;
    bool made_ = false;
};
