// SPDX-License-Identifier: GPL-3.0-or-later
// The line protocol as a real InfluxDB 1.x takes it: every kind of row, of
// a fleet of instruments with awkward names, written at the same instants,
// read back with each point, name and type as written.
#include "InfluxDb.h"
#include "InfluxRow.h"
#include "InstrumentName.h"

#include <QJsonArray>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// A reading of each kind the instrument shows: speed, flow in each unit, no
// quantity, °F, held maximum and minimum, dew point, wet bulb.
std::vector<Reading> everyKind()
{
    std::vector<Reading> kinds(10);
    for (Reading &r : kinds) {
        r.value = 538;
        r.humidity = 509;
        r.temperature = -35;
        r.speed = 538;
        r.area = 0x1234;
        r.multiplier = 1;
    }
    for (std::uint8_t unit = 0; unit < 3; ++unit) {
        kinds[1 + unit].mode = Quantity::flow;
        kinds[1 + unit].unit = unit;
    }
    kinds[4].mode = Quantity::none;
    kinds[5].fahrenheit = true;
    kinds[6].hold = Hold::max;
    kinds[7].hold = Hold::min;
    kinds[8].marker = Marker::dewPoint;
    kinds[9].marker = Marker::wetBulb;
    return kinds;
}

TEST(InfluxDb, EveryRowOfEveryInstrumentIsItsOwnPointWithTheRightTypes)
{
    if (!InfluxDb::installed())
        GTEST_SKIP() << "influxd is not installed (Debian's package influxdb)";
    InfluxDb db;
    QByteArray log;
    ASSERT_TRUE(db.start(QStringLiteral("fleet"), &log)) << log.toStdString();

    // Twenty instruments, their names as --name gives them or as they come
    // from ports with every character the line protocol escapes.
    QStringList names;
    for (int i = 1; i <= 16; ++i)
        names << QStringLiteral("duct %1").arg(i);
    names << QStringLiteral("a,b=c \"d\" back\\slash") << QStringLiteral("Kühlraum=3, Süd")
          << defaultInstrumentName(QStringLiteral("board7"), QStringLiteral("/dev/serial/by-id/usb x,y=z\\"))
          << defaultInstrumentName(QStringLiteral("board7"), QStringLiteral("/dev/pts/two\nlines"));
    const std::vector<Reading> kinds = everyKind();
    QByteArray lines;
    for (const QString &name : names) {
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            RowRecord row;
            row.seq = int(k);
            row.time = Timestamp::at(1796729371512 + std::int64_t(k) * 500); // the same instants for all
            row.reading = kinds[k];
            lines += influxRow(rowFields(row), name, QStringLiteral("board 7")) + '\n';
        }
    }
    const auto [status, answer] = db.write(lines);
    ASSERT_EQ(status, 204) << answer.left(600).toStdString();

    // No point overwrote another.
    const QJsonObject count = db.query(QStringLiteral("SELECT count(seq) FROM breezon"));
    EXPECT_EQ(count["values"][0][1].toInt(), int(names.size() * kinds.size()));
    QSet<QString> stored;
    const QJsonObject instruments = db.query(QStringLiteral("SHOW TAG VALUES FROM breezon WITH KEY = instrument"));
    for (const QJsonValue v : instruments["values"].toArray())
        stored.insert(v[1].toString());
    EXPECT_EQ(stored, QSet<QString>(names.begin(), names.end()));
    EXPECT_EQ(db.query(QStringLiteral("SHOW TAG VALUES FROM breezon WITH KEY = host"))["values"][0][1].toString(),
              QStringLiteral("board 7"));

    QStringList types;
    for (const QJsonValue v : db.query(QStringLiteral("SHOW FIELD KEYS FROM breezon"))["values"].toArray())
        types << v[0].toString() + QLatin1Char(' ') + v[1].toString();
    EXPECT_EQ(types, (QStringList{"area float", "flow_m3_h float", "rh float", "seq integer", "speed float",
                                  "temperature float", "temperature_c float", "value float"}));

    // Live readings by a plain WHERE, in one unit whatever the instrument
    // showed: every kind but held and DP/WB rows.
    const QJsonObject live = db.query(QStringLiteral(
        "SELECT count(temperature_c), min(temperature_c) FROM breezon WHERE hold = 'current' AND marker = ''"));
    EXPECT_EQ(live["values"][0][1].toInt(), int(names.size() * 6));
    EXPECT_DOUBLE_EQ(live["values"][0][2].toDouble(), -3.5);
    const QJsonObject flow = db.query(
        QStringLiteral("SELECT flow_m3_h FROM breezon WHERE instrument = 'duct 1' AND unit = 'CMM'"));
    RowRecord cmm;
    cmm.reading = kinds[1];
    EXPECT_DOUBLE_EQ(flow["values"][0][1].toDouble(), rowFields(cmm).flowM3h.toDouble());
    EXPECT_GT(flow["values"][0][1].toDouble(), 0);
}

} // namespace
