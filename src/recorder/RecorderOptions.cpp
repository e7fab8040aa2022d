// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderOptions.h"

#include "OutputOptions.h"

#include <QRegularExpression>

#include <algorithm>

QString RecorderOptions::output(const QString &flag) const
{
    for (const OutputChoice &c : outputs)
        if (c.flag == flag)
            return c.value;
    return {};
}

QString recorderUsage()
{
    QList<std::pair<QString, QString>> lines = {
        {QStringLiteral("--port PATH"), QStringLiteral("the instrument's serial device, e.g. /dev/serial/by-id/usb-...")},
        {QStringLiteral("--demo"), QStringLiteral("record from a simulated instrument instead")},
        {QStringLiteral("--from FILE"), QStringLiteral("take the rows of the recording file FILE, with their recorded times")},
        {QStringLiteral("--period P"), QStringLiteral("sampling period: 0.5, or whole seconds 1 to 60 (default 1)")},
        {QStringLiteral("--rows N"), QStringLiteral("stop after N rows (at most 2147483647)")},
        {QStringLiteral("--seconds S"), QStringLiteral("stop after S seconds (at most 3155760000, a century)")},
    };
    for (const OutputOption &o : outputOptions())
        lines.append({o.valueName.isEmpty() ? o.flag : o.flag + QLatin1Char(' ') + o.valueName, o.help});
    lines.append({QStringLiteral("--help"), QStringLiteral("show this text")});
    lines.append({QStringLiteral("--version"), QStringLiteral("show the version")});
    qsizetype width = 0;
    for (const auto &line : lines)
        width = std::max(width, line.first.size());

    // The shape (Usage:, "or:", Options:) is the one help2man reads into
    // the manual page's synopsis and options.
    QString text = QStringLiteral("Usage: breezon-record --port PATH [OPTION]...\n"
                                  "  or:  breezon-record --demo [OPTION]...\n"
                                  "  or:  breezon-record --from FILE [OPTION]...\n"
                                  "Records the anemometer's readings without a window, one row per sampling period,\n"
                                  "printing each row to standard output as it arrives.\n"
                                  "\n"
                                  "Options:\n");
    for (const auto &line : lines)
        text += QStringLiteral("  %1  %2\n").arg(line.first.leftJustified(width), line.second);
    return text + QStringLiteral("\n"
                                 "An existing --txt or --csv file is continued, never emptied.\n"
                                 "It stops after N rows, S seconds, on SIGINT, SIGTERM, SIGHUP or SIGQUIT, or when\n"
                                 "standard output is its only output and its reader has gone, whichever comes first.\n"
                                 "Exit status: 0 done, 2 usage error, 3 the port (or the --from file) cannot be\n"
                                 "read, 4 an output cannot be written, 5 no row was recorded (nothing came from\n"
                                 "the port).\n");
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

namespace {

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

// What an option's value is, for "--txt needs a file name".
QString valueWanted(const QString &flag, const OutputOption *output)
{
    if (flag == QLatin1String("--port") || (output && output->valueName == QLatin1String("FILE")))
        return flag == QLatin1String("--port") ? QStringLiteral("a device path") : QStringLiteral("a file name");
    return QStringLiteral("a value");
}

RecorderArgs usageError(const QString &why)
{
    RecorderArgs r;
    r.error = why;
    return r;
}

} // namespace

RecorderArgs parseRecorderArgs(const QStringList &args)
{
    RecorderOptions o;
    bool havePort = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            RecorderArgs r;
            r.help = true;
            return r;
        }
        if (a == QLatin1String("--demo")) {
            o.demo = true;
            continue;
        }
        const OutputOption *output = findOutputOption(a);
        if (output && output->valueName.isEmpty()) {
            o.settings.insert(a, QStringLiteral("1"));
            continue;
        }
        static const QStringList withValue = {QStringLiteral("--port"), QStringLiteral("--period"),
                                              QStringLiteral("--rows"), QStringLiteral("--seconds"),
                                              QStringLiteral("--from")};
        if (!output && !withValue.contains(a))
            return usageError(QStringLiteral("unknown option '%1'").arg(a));
        // "--txt --rows 1" is a forgotten name, not a file called "--rows".
        if (i + 1 >= args.size() || args[i + 1].isEmpty() || args[i + 1].startsWith(QLatin1String("--")))
            return usageError(QStringLiteral("%1 needs %2").arg(a, valueWanted(a, output)));
        const QString v = args[++i];
        if (output) {
            if (output->make)
                o.outputs.push_back({a, v});
            else
                o.settings.insert(a, v);
        } else if (a == QLatin1String("--from")) {
            o.from = v;
        } else if (a == QLatin1String("--port")) {
            o.port = v;
            havePort = true;
        } else if (a == QLatin1String("--period")) {
            const auto ms = parsePeriod(v);
            if (!ms)
                return usageError(
                    QStringLiteral("--period takes 0.5 or a whole number of seconds from 1 to 60, not '%1'").arg(v));
            o.periodMs = *ms;
        } else if (a == QLatin1String("--rows") || a == QLatin1String("--seconds")) {
            const std::int64_t most = a == QLatin1String("--rows") ? kMaxRows : kMaxSeconds;
            const auto n = positiveCount(v, most);
            if (!n)
                return usageError(QStringLiteral("%1 takes a whole number from 1 to %2, not '%3'").arg(a).arg(most).arg(v));
            (a == QLatin1String("--rows") ? o.rows : o.seconds) = *n;
        }
    }
    QStringList sources;
    if (havePort)
        sources << QStringLiteral("--port");
    if (o.demo)
        sources << QStringLiteral("--demo");
    if (!o.from.isEmpty())
        sources << QStringLiteral("--from");
    if (sources.size() != 1)
        return usageError(sources.isEmpty()
                              ? QStringLiteral("give --port PATH, --demo or --from FILE")
                              : QStringLiteral("give only one of %1, not %2")
                                    .arg(sources.join(QStringLiteral(" and ")),
                                         sources.size() == 2 ? QStringLiteral("both") : QStringLiteral("all three")));
    RecorderArgs r;
    r.options = o;
    return r;
}
