// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileSchema.h"

namespace recording_file {

const char *const kSchema = R"sql(
CREATE TABLE recording (
  key   TEXT NOT NULL,
  value TEXT NOT NULL
);
CREATE TABLE sample (
  seq              INTEGER PRIMARY KEY,
  unix_ms          INTEGER NOT NULL,
  time             TEXT NOT NULL,
  frame            BLOB NOT NULL,
  mode             TEXT NOT NULL,
  value            REAL,
  unit             TEXT,
  rh               REAL NOT NULL,
  temperature      REAL NOT NULL,
  temperature_unit TEXT NOT NULL,
  marker           TEXT,
  hold             TEXT NOT NULL,
  speed            REAL NOT NULL,
  area             REAL NOT NULL
);
)sql";

namespace {

bool pragmaInt(sqlite3 *db, const char *sql, std::int64_t *out)
{
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW;
    if (ok)
        *out = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return ok;
}

} // namespace

std::string lastError(sqlite3 *db)
{
    return db ? sqlite3_errmsg(db) : "out of memory";
}

std::string whyNotOurs(sqlite3 *db, bool *fresh)
{
    if (fresh)
        *fresh = false;
    std::int64_t id = 0, version = 0, tables = 0;
    // The first read of the file: a file that is not a database fails here.
    if (!pragmaInt(db, "PRAGMA application_id", &id) || !pragmaInt(db, "PRAGMA user_version", &version) ||
        !pragmaInt(db, "SELECT count(*) FROM sqlite_schema", &tables))
        return "not a breezon recording (" + lastError(db) + ")";
    if (id == 0 && version == 0 && tables == 0) {
        if (fresh)
            *fresh = true;
        return fresh ? std::string() : "an empty database, not a breezon recording";
    }
    if (std::int32_t(id) != kApplicationId)
        return "not a breezon recording (an SQLite database of another program)";
    if (version > kVersion)
        return "made by a newer breezon (recording file version " + std::to_string(version) +
               "); this one reads version " + std::to_string(kVersion);
    if (version != kVersion)
        return "not a breezon recording (unknown version " + std::to_string(version) + ")";
    return {};
}

} // namespace recording_file
