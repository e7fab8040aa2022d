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
// PRAGMA user_version: the schema's version.
inline constexpr int kVersion = 1;

// The tables of version 1, created in one transaction with the two pragmas.
extern const char *const kSchema;

// Why an open database is not a recording this program can read, in plain
// words; empty when it is one. `fresh` is set (and the answer empty) for an
// empty database that a writer may make into a recording.
std::string whyNotOurs(sqlite3 *db, bool *fresh = nullptr);

// The reason of the connection's last failure ("database or disk is full").
std::string lastError(sqlite3 *db);

} // namespace recording_file
