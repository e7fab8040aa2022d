// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderOptions.h"

#include "CommandLine.h"
#include "OptionsFile.h"
#include "OutputOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <tuple>

QString RecorderOptions::output(const QString &flag) const
{
    for (const OutputChoice &c : outputs)
        if (c.flag == flag)
            return c.value;
    return {};
}

namespace {

// The options that pick the source and the length of the run; each output's
// own options are in OutputOptions.cpp.
const std::vector<OptionRow> &runOptions()
{
    static const std::vector<OptionRow> table = {
        {QStringLiteral("--port"), QStringLiteral("PATH"),
         QStringLiteral("the instrument's serial device, e.g. /dev/serial/by-id/usb-...")},
        {QStringLiteral("--demo"), QString(), QStringLiteral("record from a simulated instrument instead")},
        {QStringLiteral("--from"), QStringLiteral("FILE"),
         QStringLiteral("take the rows of the recording file FILE, with their recorded times")},
        {QStringLiteral("--period"), QStringLiteral("P"),
         QStringLiteral("sampling period: 0.5, or whole seconds 1 to 60 (default 1)")},
        {QStringLiteral("--rows"), QStringLiteral("N"), QStringLiteral("stop after N rows (at most 2147483647)")},
        {QStringLiteral("--seconds"), QStringLiteral("S"),
         QStringLiteral("stop after S seconds (at most 3155760000, a century)")},
        {QStringLiteral("--options-file"), QStringLiteral("FILE"),
         QStringLiteral("take more options from FILE, one a line: '--csv duct 7.csv' (the service's "
                        "/etc/breezon/NAME.conf)")},
    };
    return table;
}

// Every option the recorder takes, in the order --help lists them.
std::vector<OptionRow> recorderOptions()
{
    std::vector<OptionRow> rows = runOptions();
    for (const OutputOption &o : outputOptions())
        rows.push_back({o.flag, o.valueName, o.help});
    rows.push_back({QStringLiteral("-h, --help"), QString(), QStringLiteral("show this text and exit")});
    rows.push_back({QStringLiteral("--version"), QString(), QStringLiteral("show the version and exit")});
    return rows;
}

std::optional<std::int64_t> positiveCount(const QString &text, std::int64_t most)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const std::int64_t n = text.toLongLong();
    if (n < 1 || n > most)
        return std::nullopt;
    return n;
}

RecorderArgs usageError(const QString &why)
{
    RecorderArgs r;
    r.error = why;
    return r;
}

} // namespace

QString recorderUsage()
{
    // The shape (Usage:, "or:", Options:) is the one help2man reads into
    // the manual page's synopsis and options.
    return QStringLiteral("Usage: breezon-record --port PATH [OPTION]...\n"
                          "  or:  breezon-record --demo [OPTION]...\n"
                          "  or:  breezon-record --from FILE [OPTION]...\n"
                          "Records an anemometer's readings without a window, one row per sampling\n"
                          "period, and prints each row to standard output as it arrives.\n"
                          "\n"
                          "Options:\n")
        + optionLines(recorderOptions())
        + QStringLiteral("\n"
                         "An existing --txt or --csv file is continued, never emptied. The run stops\n"
                         "after N rows, S seconds, on SIGINT, SIGTERM, SIGHUP or SIGQUIT, or when\n"
                         "standard output is its only output and its reader has gone, whichever\n"
                         "comes first.\n");
}

std::optional<int> parsePeriod(const QString &text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('s')))
        t.chop(1);
    if (t == QLatin1String("0.5"))
        return 500;
    static const QRegularExpression whole(QStringLiteral("^[0-9]{1,2}$"));
    if (!whole.match(t).hasMatch())
        return std::nullopt;
    const int seconds = t.toInt();
    if (seconds < 1 || seconds > 60)
        return std::nullopt;
    return seconds * 1000;
}

RecorderArgs parseRecorderArgs(const QStringList &given)
{
    QString why;
    const std::optional<QStringList> args = withOptionsFiles(given, &why);
    if (!args)
        return usageError(why);
    const std::vector<OptionRow> rows = recorderOptions();
    QCommandLineParser parser;
    addOptions(parser, rows);
    if (const QString error = parseOptions(parser, rows, *args); !error.isEmpty())
        return usageError(error);
    RecorderArgs r;
    r.help = parser.isSet(QStringLiteral("help"));
    r.version = parser.isSet(QStringLiteral("version"));
    if (r.help || r.version)
        return r;
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected operand '%1'").arg(parser.positionalArguments().first()));

    RecorderOptions o;
    // The outputs in the order given; a flag given twice makes two.
    QHash<QString, qsizetype> taken;
    for (const QString &name : parser.optionNames()) {
        const OutputOption *output = findOutputOption(QStringLiteral("--") + name);
        if (!output)
            continue;
        const QString value =
            output->valueName.isEmpty() ? QStringLiteral("1") : parser.values(name).at(taken[name]++);
        if (output->make)
            o.outputs.push_back({output->flag, value});
        else
            o.settings.insert(output->flag, value);
    }

    o.demo = parser.isSet(QStringLiteral("demo"));
    o.port = parser.value(QStringLiteral("port"));
    o.from = parser.value(QStringLiteral("from"));
    if (parser.isSet(QStringLiteral("period"))) {
        const QString v = parser.value(QStringLiteral("period"));
        const auto ms = parsePeriod(v);
        if (!ms)
            return usageError(
                QStringLiteral("--period takes 0.5 or a whole number of seconds from 1 to 60, not '%1'").arg(v));
        o.periodMs = *ms;
    }
    for (const auto &[name, most, limit] : {std::tuple{QStringLiteral("rows"), kMaxRows, &o.rows},
                                            std::tuple{QStringLiteral("seconds"), kMaxSeconds, &o.seconds}}) {
        if (!parser.isSet(name))
            continue;
        const QString v = parser.value(name);
        const auto n = positiveCount(v, most);
        if (!n)
            return usageError(
                QStringLiteral("--%1 takes a whole number from 1 to %2, not '%3'").arg(name).arg(most).arg(v));
        *limit = *n;
    }

    QStringList sources;
    for (const char *source : {"port", "demo", "from"})
        if (parser.isSet(QLatin1String(source)))
            sources << QStringLiteral("--") + QLatin1String(source);
    if (sources.size() != 1)
        return usageError(sources.isEmpty()
                              ? QStringLiteral("give --port PATH, --demo or --from FILE")
                              : QStringLiteral("give only one of %1, not %2")
                                    .arg(sources.join(QStringLiteral(" and ")),
                                         sources.size() == 2 ? QStringLiteral("both") : QStringLiteral("all three")));
    r.options = o;
    return r;
}
