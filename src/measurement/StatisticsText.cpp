// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatisticsText.h"

#include "DisplayText.h"

#include <QLocale>

namespace {

// Decimals of the lowest and highest as the rows show them.
int shownDecimals(const StatGroup &g)
{
    switch (g.field) {
    case StatField::value:
        return valueDecimals(g.mode, g.unit);
    case StatField::speed: return 2;
    case StatField::flowM3h: return 3;
    case StatField::temperature:
    case StatField::rh: break;
    }
    return 1;
}

QString fixed(double v, int decimals) { return QString::number(v, 'f', decimals); }

QByteArray jsonNumber(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest).toLatin1(); }

// Our own texts only (names and ISO times): nothing to escape.
QByteArray jsonText(const QString &text)
{
    return text.isEmpty() ? QByteArray("null") : '"' + text.toUtf8() + '"';
}

} // namespace

StatNames statNames(const StatGroup &g)
{
    StatNames n;
    switch (g.field) {
    case StatField::value:
        n.field = QStringLiteral("value");
        n.mode = modeName(g.mode);
        n.unit = unitName(g.mode, g.unit);
        n.hold = holdName(g.hold);
        break;
    case StatField::speed:
        n.field = QStringLiteral("speed");
        n.unit = QStringLiteral("m/s");
        n.hold = holdName(g.hold);
        break;
    case StatField::flowM3h:
        n.field = QStringLiteral("flow_m3_h");
        n.unit = QStringLiteral("m3/h");
        n.hold = holdName(g.hold);
        break;
    case StatField::temperature:
        n.field = QStringLiteral("temperature");
        n.unit = g.unit ? QStringLiteral("F") : QStringLiteral("C");
        n.marker = markerText(g.marker);
        break;
    case StatField::rh:
        n.field = QStringLiteral("rh");
        n.unit = QStringLiteral("%RH");
        break;
    }
    return n;
}

QString statisticsHeading(const RunStatistics &stats)
{
    if (stats.rows() == 0)
        return QStringLiteral("no rows");
    return QStringLiteral("%1 rows over %2 s\nfirst %3, last %4")
        .arg(stats.rows())
        .arg(fixed(stats.durationSeconds(), 1), stats.first()->isoText(), stats.last()->isoText());
}

QString statisticsTable(const RunStatistics &stats)
{
    // "kind" is the hold of the air's numbers and the marker of a
    // temperature: both say what sort of reading the line counts.
    const auto line = [](const QString &field, const QString &unit, const QString &kind, const QString &count,
                         const QString &min, const QString &max, const QString &mean, const QString &sd) {
        return field.leftJustified(12) + unit.leftJustified(6) + kind.leftJustified(8) + count.rightJustified(8) +
               min.rightJustified(11) + max.rightJustified(11) + mean.rightJustified(11) + sd.rightJustified(11) +
               QLatin1Char('\n');
    };
    QString out = line(QStringLiteral("field"), QStringLiteral("unit"), QStringLiteral("kind"),
                       QStringLiteral("count"), QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("mean"),
                       QStringLiteral("sd"));
    for (const StatGroup &g : stats.groups()) {
        const StatNames n = statNames(g);
        const Accumulator &a = g.numbers;
        const int d = shownDecimals(g);
        out += line(n.field, n.unit, n.hold.isEmpty() ? n.marker : n.hold, QString::number(a.count), fixed(a.min, d),
                    fixed(a.max, d), fixed(a.mean, d + 1), fixed(a.sd(), d + 1));
    }
    return out;
}

QByteArray statisticsJson(const RunStatistics &stats)
{
    QByteArray out = "{\n  \"rows\": " + QByteArray::number(stats.rows());
    out += ",\n  \"first_time\": " + jsonText(stats.first() ? stats.first()->isoText() : QString());
    out += ",\n  \"last_time\": " + jsonText(stats.last() ? stats.last()->isoText() : QString());
    out += ",\n  \"duration_s\": " + jsonNumber(stats.durationSeconds());
    out += ",\n  \"statistics\": [";
    const std::vector<StatGroup> groups = stats.groups();
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const StatNames n = statNames(groups[i]);
        const Accumulator &a = groups[i].numbers;
        out += (i ? ",\n    {" : "\n    {");
        out += "\"field\": " + jsonText(n.field) + ", \"mode\": " + jsonText(n.mode) + ", \"unit\": " +
               jsonText(n.unit) + ", \"hold\": " + jsonText(n.hold) + ", \"marker\": " + jsonText(n.marker);
        out += ", \"count\": " + QByteArray::number(a.count) + ", \"min\": " + jsonNumber(a.min) +
               ", \"max\": " + jsonNumber(a.max) + ", \"mean\": " + jsonNumber(a.mean) +
               ", \"sd\": " + jsonNumber(a.sd()) + '}';
    }
    out += groups.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
