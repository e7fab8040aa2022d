// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program's command line as a table of options. The same rows make the
// parser, the option lines of --help (which help2man turns into the manual
// page's OPTIONS) and the one-line usage errors, so an option is described
// once. What the options mean is the program's business, not this file's.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <vector>

struct OptionRow {
    QString flag;      // "--txt", or "-h, --help" for a short name as well
    QString valueName; // "FILE"; empty for a switch
    QString help;      // its line of --help: lower case, no full stop
};

// Makes `parser` know every row. A word with one dash is one name
// ("-platform", the toolkit's), not a cluster of one-letter options.
void addOptions(QCommandLineParser &parser, const std::vector<OptionRow> &rows);

// Parses `args` (without the program's name) with a parser made by
// addOptions from the same rows. Empty on success, otherwise what was wrong
// in one line: "unknown option '--x'", "--txt needs a file name". A value
// that starts with "--" is taken for a forgotten value, not a file named so.
// Operands are left to the caller.
QString parseOptions(QCommandLineParser &parser, const std::vector<OptionRow> &rows, const QStringList &args);

// The option lines of --help, within 80 columns: the flags, then the help
// line wrapped under its own column.
QString optionLines(const std::vector<OptionRow> &rows);

// The second line of every usage error.
QString tryHelp(const QString &program);
