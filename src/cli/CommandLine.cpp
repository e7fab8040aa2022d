// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <algorithm>

namespace {

// The help text's geometry: two spaces, the flag, two spaces, the help line,
// no line wider than a terminal's 80 columns (79, so nothing wraps there). A
// flag wider than kMostFlag puts its help line on the next line.
constexpr qsizetype kIndent = 2;
constexpr qsizetype kGap = 2;
constexpr qsizetype kMostFlag = 26;
constexpr qsizetype kWidth = 79;

QStringList namesOf(const OptionRow &row)
{
    QStringList names;
    for (QString flag : row.flag.split(QStringLiteral(", "))) {
        while (flag.startsWith(QLatin1Char('-')))
            flag.remove(0, 1);
        names << flag;
    }
    return names;
}

QString longFlag(const OptionRow &row)
{
    return row.flag.section(QStringLiteral(", "), -1);
}

const OptionRow *rowNamed(const std::vector<OptionRow> &rows, const QString &name)
{
    for (const OptionRow &row : rows)
        if (namesOf(row).contains(name))
            return &row;
    return nullptr;
}

QString needs(const OptionRow &row)
{
    QString what = QStringLiteral("a value");
    if (row.valueName == QLatin1String("FILE"))
        what = QStringLiteral("a file name");
    else if (row.valueName == QLatin1String("PATH"))
        what = QStringLiteral("a device path");
    else if (row.valueName == QLatin1String("URL"))
        what = QStringLiteral("a URL");
    return QStringLiteral("%1 needs %2").arg(longFlag(row), what);
}

// A word of the command line as an option's name: "--txt=a" is "txt".
QString nameIn(QString word)
{
    if (!word.startsWith(QLatin1Char('-')) || word == QLatin1String("-") || word == QLatin1String("--"))
        return {};
    while (word.startsWith(QLatin1Char('-')))
        word.remove(0, 1);
    return word.section(QLatin1Char('='), 0, 0);
}

// The unknown option as the user typed it.
QString spelledAs(const QString &name, const QStringList &args)
{
    for (const QString &word : args) {
        if (word == QLatin1String("--"))
            break;
        if (nameIn(word) == name)
            return word.section(QLatin1Char('='), 0, 0);
    }
    return QStringLiteral("--") + name;
}

} // namespace

void addOptions(QCommandLineParser &parser, const std::vector<OptionRow> &rows)
{
    // "-platform" is one option (the toolkit's), not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionRow &row : rows)
        parser.addOption(QCommandLineOption(namesOf(row), row.help, row.valueName));
}

QString parseOptions(QCommandLineParser &parser, const std::vector<OptionRow> &rows, const QStringList &args)
{
    if (!parser.parse(QStringList{QString()} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return QStringLiteral("unknown option '%1'").arg(spelledAs(unknown.first(), args));
        // The parser takes the next word as a value whatever it is, so the
        // only value it can miss is the last word's.
        const OptionRow *last = rowNamed(rows, nameIn(args.last()));
        if (last && !last->valueName.isEmpty() && !args.last().contains(QLatin1Char('=')))
            return needs(*last);
        // Qt's own words ("Unexpected value after '--demo'.") as one of ours.
        QString text = parser.errorText();
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        return text.isEmpty() ? text : text.left(1).toLower() + text.mid(1);
    }
    for (const OptionRow &row : rows) {
        if (row.valueName.isEmpty())
            continue;
        // "--txt --rows 1" is a forgotten name, not a file called "--rows".
        for (const QString &value : parser.values(namesOf(row).first()))
            if (value.isEmpty() || value.startsWith(QLatin1String("--")))
                return needs(row);
    }
    return {};
}

QString optionLines(const std::vector<OptionRow> &rows)
{
    const auto label = [](const OptionRow &row) {
        return row.valueName.isEmpty() ? row.flag : row.flag + QLatin1Char(' ') + row.valueName;
    };
    qsizetype flagWidth = 0;
    for (const OptionRow &row : rows)
        if (label(row).size() <= kMostFlag)
            flagWidth = std::max(flagWidth, label(row).size());
    const qsizetype column = kIndent + flagWidth + kGap;
    const QString margin(column, QLatin1Char(' '));

    QString text;
    for (const OptionRow &row : rows) {
        QString line = QString(kIndent, QLatin1Char(' ')) + label(row);
        if (line.size() + kGap > column) {
            text += line + QLatin1Char('\n');
            line = margin;
        } else {
            line = line.leftJustified(column);
        }
        bool first = true;
        for (const QString &word : row.help.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!first && line.size() + 1 + word.size() > kWidth) {
                text += line + QLatin1Char('\n');
                line = margin;
                first = true;
            }
            line += first ? word : QLatin1Char(' ') + word;
            first = false;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

QString tryHelp(const QString &program)
{
    return QStringLiteral("Try '%1 --help'.").arg(program);
}
