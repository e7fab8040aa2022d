// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileSchema.h"

#include <cstring>
#include <utility>

namespace recording_file {

const char *const kSchemaV1 = R"sql(
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

// Version 2: units that never change (so a database can aggregate across
// instruments and switch positions), a checksum per row (so damage is
// reported, not shown as a reading; null for the rows of version 1), and
// the outbox: how far each network destination has taken the rows.
const char *const kUpgradeToV2 = R"sql(
ALTER TABLE sample ADD COLUMN temperature_c REAL;
ALTER TABLE sample ADD COLUMN flow_m3_h REAL;
ALTER TABLE sample ADD COLUMN checksum INTEGER;
UPDATE sample SET
  temperature_c = CASE temperature_unit WHEN 'F' THEN round((temperature - 32) / 1.8, 1) ELSE temperature END,
  flow_m3_h = CASE WHEN mode = 'flow' THEN
    round(value * CASE unit WHEN 'CMM' THEN 60 WHEN 'CMS' THEN 3600 WHEN 'CFM' THEN 1.69901079552 END, 3) END;
CREATE TABLE outbox (
  destination TEXT PRIMARY KEY,
  delivered   INTEGER NOT NULL
);
PRAGMA user_version = 2;
)sql";

namespace {

// SQLITE_OK, or the failure's code.
int pragmaInt(sqlite3 *db, const char *sql, std::int64_t *out)
{
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        *out = sqlite3_column_int64(st, 0);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

} // namespace

std::string lastError(sqlite3 *db)
{
    return db ? sqlite3_errmsg(db) : "out of memory";
}

std::string causeOf(sqlite3 *db, int rc)
{
    const std::string said = lastError(db);
    const int error = db ? sqlite3_system_errno(db) : 0;
    // Through a pointer: a short literal made into a string inline is split
    // into pieces that lintian's spelling check misreads ("anothe").
    const char *cause = nullptr;
    switch (rc & 0xFF) {
    case SQLITE_NOTADB: cause = "not a breezon recording (not an SQLite database)"; break;
    case SQLITE_CORRUPT: return "damaged (" + said + ")";
    case SQLITE_BUSY:
    case SQLITE_LOCKED: cause = "locked by another program"; break;
    case SQLITE_READONLY: return "read-only (" + said + ")";
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR: cause = error ? std::strerror(error) : nullptr; break;
    default: break;
    }
    return cause ? std::string(cause) : said;
}

std::string whyNotOurs(sqlite3 *db, int *versionOut, bool *fresh)
{
    if (fresh)
        *fresh = false;
    std::int64_t id = 0, version = 0, tables = 0;
    // The first read of the file: a file that is not a database fails here.
    for (const auto &[sql, out] : {std::pair{"PRAGMA application_id", &id}, std::pair{"PRAGMA user_version", &version},
                                   std::pair{"SELECT count(*) FROM sqlite_schema", &tables}})
        if (const int rc = pragmaInt(db, sql, out); rc != SQLITE_OK)
            return causeOf(db, rc);
    if (versionOut)
        *versionOut = int(version);
    if (id == 0 && version == 0 && tables == 0) {
        if (fresh)
            *fresh = true;
        return fresh ? std::string() : "an empty database, not a breezon recording";
    }
    if (std::int32_t(id) != kApplicationId)
        return "not a breezon recording (an SQLite database of another program)";
    if (version > kVersion)
        return "made by a newer breezon (recording file version " + std::to_string(version) +
               "); this one reads up to version " + std::to_string(kVersion);
    if (version < 1)
        return "not a breezon recording (unknown version " + std::to_string(version) + ")";
    return {};
}

} // namespace recording_file
