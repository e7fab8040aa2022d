// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recording file (.breezon): an SQLite 3 database holding one recording.
// docs/recording-file.md describes it for users; this is its one definition
// in code. The schema is a public interface: change it only with a new
// kVersion and a reader for the old one.

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace recording_file {

// PRAGMA application_id: "brzn" in ASCII, so `file` and sqlite3 tell our
// databases from any other.
inline constexpr std::int32_t kApplicationId = 0x62727A6E;
// PRAGMA user_version: the schema's version. Version 1 had no checksums, no
// SI columns and no outbox; it is read as it is, and brought to version 2
// when it is continued.
inline constexpr int kVersion = 2;

// The tables of version 1, and the steps from version 1 to 2. A new file is
// made with both, so a continued old file and a new one have the very same
// schema.
extern const char *const kSchemaV1;
extern const char *const kUpgradeToV2;

// Why an open database is not a recording this program can read, in plain
// words; empty when it is one. `version` gets its version; `fresh` is set
// (and the answer empty) for an empty database that a writer may make into
// a recording.
std::string whyNotOurs(sqlite3 *db, int *version = nullptr, bool *fresh = nullptr);

// Runs `sql` and puts the first column of its first row into `out`:
// SQLITE_OK, or the failure's code.
int queryInt(sqlite3 *db, const char *sql, std::int64_t *out);

// The reason of the connection's last failure ("database or disk is full").
std::string lastError(sqlite3 *db);
// The cause of a failed call that opens or reads a file, in plain words:
// "locked by another program", "read-only (…)", "damaged (…)", "not a
// breezon recording (…)", or the system's own ("Permission denied").
std::string causeOf(sqlite3 *db, int rc);

} // namespace recording_file
