#pragma once
// The headless recorder's command line.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct RecorderOptions {
    QString port;          // device path, or the simulated instrument with demo
    bool demo = false;
    int periodMs = 1000;   // 500, or 1000 to 60000 in whole seconds
    std::optional<std::int64_t> rows;    // stop after this many rows
    std::optional<std::int64_t> seconds; // stop after this long
    QString txt;           // grows by one line per row
    QString csv;           // grows by one record per row
    QString xls;           // written once, when the run ends
};

struct RecorderArgs {
    std::optional<RecorderOptions> options; // absent on a usage error or --help
    bool help = false;
    QString error; // what was wrong, in plain words
};

// `args` without the program name.
RecorderArgs parseRecorderArgs(const QStringList &args);
QString recorderUsage();

// "0.5" or a whole number of seconds 1 to 60 (as the period box offers them,
// with or without the trailing "s"), in milliseconds.
std::optional<int> parsePeriod(const QString &text);
