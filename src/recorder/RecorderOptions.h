// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The headless recorder's command line.

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

struct RecorderOptions {
    QString port;          // device path, or the simulated instrument with demo
    bool demo = false;
    QString from;          // a recording file to read instead of a port
    int periodMs = 1000;   // 500, or 1000 to 60000 in whole seconds
    std::optional<std::int64_t> rows;    // stop after this many rows
    std::optional<std::int64_t> seconds; // stop after this long
    std::int64_t noDataAfterMs = 30000;  // the first "no data" warning (lowered by tests)
    struct OutputChoice {
        QString flag;  // as in outputOptions(): "--txt"
        QString value; // its file name, URL or format
    };
    std::vector<OutputChoice> outputs; // in the order given
    QHash<QString, QString> settings;  // options that configure an output, by flag

    // The value of the first output chosen with `flag`, empty when none.
    QString output(const QString &flag) const;
};

struct RecorderArgs {
    std::optional<RecorderOptions> options; // absent on a usage error, --help or --version
    bool help = false;
    bool version = false;
    QString error; // what was wrong, in one line of plain words
};

// The longest run --rows and --seconds take: more rows than the list can
// number, and a century.
inline constexpr std::int64_t kMaxRows = 2147483647;
inline constexpr std::int64_t kMaxSeconds = 3155760000;

// `args` without the program name.
RecorderArgs parseRecorderArgs(const QStringList &args);
QString recorderUsage();

// "0.5" or a whole number of seconds 1 to 60 (as the period box offers them,
// with or without the trailing "s"), in milliseconds.
std::optional<int> parsePeriod(const QString &text);
