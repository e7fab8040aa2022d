#include "RecorderOptions.h"

#include "OutputOptions.h"

#include <QRegularExpression>

QString RecorderOptions::output(const QString &flag) const
{
    for (const OutputChoice &c : outputs)
        if (c.flag == flag)
            return c.value;
    return {};
}

QString recorderUsage()
{
    QString synopsis = QStringLiteral("Usage: breezon-record (--port PATH | --demo | --from FILE) [--period P] [--rows N] [--seconds S]\n"
                                      "                     ");
    QString options;
    int width = 22;
    for (const OutputOption &o : outputOptions()) {
        const QString item = o.valueName.isEmpty() ? o.flag : o.flag + QLatin1Char(' ') + o.valueName;
        if (width + item.size() + 3 > 92) {
            synopsis += QStringLiteral("\n                     ");
            width = 22;
        }
        synopsis += QStringLiteral(" [%1]").arg(item);
        width += int(item.size()) + 3;
        options += QStringLiteral("  %1 %2\n").arg(item.leftJustified(22), o.help);
    }
    return synopsis +
           QStringLiteral("\n\n"
                          "Records the anemometer's readings without a window, one row per sampling period,\n"
                          "printing each row to standard output as it arrives.\n"
                          "\n"
                          "  --port PATH            the instrument's serial device, e.g. /dev/serial/by-id/usb-...\n"
                          "  --demo                 record from a simulated instrument instead\n"
                          "  --from FILE            read the rows of the recording file FILE instead, with their\n"
                          "                         recorded times, and write the outputs chosen for them\n"
                          "  --period P             sampling period: 0.5, or whole seconds 1 to 60 (default 1)\n"
                          "  --rows N               stop after N rows\n"
                          "  --seconds S            stop after S seconds\n") +
           options +
           QStringLiteral("  --help                 show this text\n"
                          "\n"
                          "It stops after N rows, S seconds, or on SIGINT or SIGTERM, whichever comes first.\n"
                          "Exit status: 0 done, 2 usage error, 3 the port (or the --from file) cannot be read,\n"
                          "4 a file cannot be written.\n");
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

std::optional<std::int64_t> positiveCount(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,12}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const std::int64_t n = text.toLongLong();
    if (n < 1)
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
        if (i + 1 >= args.size() || args[i + 1].isEmpty())
            return usageError(QStringLiteral("%1 needs a value").arg(a));
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
            const auto n = positiveCount(v);
            if (!n)
                return usageError(QStringLiteral("%1 takes a whole number above 0, not '%2'").arg(a, v));
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
