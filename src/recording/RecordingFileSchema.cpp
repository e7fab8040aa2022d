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
// reported, not shown as a reading; null for the rows of version 1), the
// outbox: how far each network destination has taken the rows, and the
// run's statistics as views, the same lines as the program's own (see
// RunStatistics.h). SQLite has no standard deviation: the population's is
// made from the sums of the numbers and of their squares, one pass over the
// table per quantity (the program's own way, one number at a time, cannot
// be written in SQL; the two agree to far more digits than are shown), and
// is exactly 0 where every number of a line is the same.
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
CREATE VIEW statistics AS
WITH line(field, mode, unit, hold, marker, count, min, max, total, squares) AS (
  SELECT 'value', mode, unit, hold, NULL, count(*), min(value), max(value), sum(value), sum(value * value)
    FROM sample WHERE value IS NOT NULL GROUP BY mode, unit, hold
  UNION ALL
  SELECT 'speed', NULL, 'm/s', hold, NULL, count(*), min(speed), max(speed), sum(speed), sum(speed * speed)
    FROM sample GROUP BY hold
  UNION ALL
  SELECT 'flow_m3_h', NULL, 'm3/h', hold, NULL, count(*), min(flow_m3_h), max(flow_m3_h), sum(flow_m3_h),
    sum(flow_m3_h * flow_m3_h) FROM sample WHERE flow_m3_h IS NOT NULL GROUP BY hold
  UNION ALL
  SELECT 'temperature', NULL, temperature_unit, NULL, marker, count(*), min(temperature), max(temperature),
    sum(temperature), sum(temperature * temperature) FROM sample GROUP BY temperature_unit, marker
  UNION ALL
  SELECT 'rh', NULL, '%RH', NULL, NULL, count(*), min(rh), max(rh), sum(rh), sum(rh * rh)
    FROM sample HAVING count(*) > 0)
SELECT field, mode, unit, hold, marker, count, min, max, 1.0 * total / count AS mean,
  CASE WHEN min = max THEN 0.0 ELSE sqrt(max(0.0, (squares - 1.0 * total * total / count) / count)) END AS sd
FROM line;
CREATE VIEW statistics_run AS
SELECT count(*) AS rows,
  (SELECT time FROM sample ORDER BY seq LIMIT 1) AS first_time,
  (SELECT time FROM sample ORDER BY seq DESC LIMIT 1) AS last_time,
  coalesce(((SELECT unix_ms FROM sample ORDER BY seq DESC LIMIT 1) -
            (SELECT unix_ms FROM sample ORDER BY seq LIMIT 1)) / 1000.0, 0) AS duration_s
FROM sample;
PRAGMA user_version = 2;
)sql";

int queryInt(sqlite3 *db, const char *sql, std::int64_t *out)
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
        if (const int rc = queryInt(db, sql, out); rc != SQLITE_OK)
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
