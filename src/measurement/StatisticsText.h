// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics of a run as people and programs read them: a short table
// (the recorder's --summary, the window's Statistics and its copy) and one
// JSON object (--summary-json). The names are the recording file's, and its
// view `statistics` has the same columns, so the three read alike.

#include "RunStatistics.h"

#include <QByteArray>
#include <QString>

// A line's names; an empty text stands for null.
struct StatNames {
    QString field;  // "value", "speed", "flow_m3_h", "temperature", "rh"
    QString mode;   // value: "speed" or "flow"
    QString unit;   // "m/s", "CFM", ...; "m3/h"; "C" or "F"; "%RH"
    QString hold;   // value, speed, flow: "current", "max" or "min"
    QString marker; // temperature: "DP", "WB" or empty
};
StatNames statNames(const StatGroup &group);

// "120 rows over 119.0 s" and, on a second line, "first
// 2026-12-08T11:29:31.512+01:00, last 2026-12-08T11:31:30.512+01:00"; or
// "no rows".
QString statisticsHeading(const RunStatistics &stats);
// The lines of the table under a line of column names, without a heading;
// the lowest and highest with the decimals the row shows, the mean and
// standard deviation with one more.
QString statisticsTable(const RunStatistics &stats);
// One object: rows, first_time, last_time, duration_s and the lines under
// "statistics", each with the names above and count, min, max, mean, sd.
QByteArray statisticsJson(const RunStatistics &stats);
