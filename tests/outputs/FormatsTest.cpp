// SPDX-License-Identifier: GPL-3.0-or-later
// The machine-readable forms of a row, as standard output, MQTT and
// InfluxDB take them: the JSON payload, the line protocol and its escaping,
// and the instrument's name they all carry.
#include "InfluxRow.h"
#include "InstrumentName.h"
#include "JsonRow.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

RowFields fields(const char *mode, const char *value, const char *unit, const char *marker)
{
    RowFields f;
    f.seq = 41;
    f.unixMs = 1796729371512;
    f.time = QStringLiteral("2026-12-08T12:29:31.512+01:00");
    f.mode = QString::fromLatin1(mode);
    f.value = QString::fromLatin1(value);
    f.unit = QString::fromLatin1(unit);
    f.rh = QStringLiteral("50.9");
    f.temperature = QStringLiteral("-3.5");
    f.temperatureUnit = QStringLiteral("C");
    f.marker = QString::fromLatin1(marker);
    f.hold = QStringLiteral("max");
    f.speed = QStringLiteral("5.38");
    f.area = QStringLiteral("1.234");
    f.temperatureC = QStringLiteral("-3.5");
    f.flowM3h = f.mode == QLatin1String("flow") ? QStringLiteral("2097.5") : QString();
    f.frame = QStringLiteral("eb00000000000000000000000000000a");
    return f;
}

TEST(RowFormats, JsonAndLineProtocolWriteNumbersAsNumbersAndLeaveOutWhatIsNot)
{
    struct Case {
        RowFields row;
        const char *json, *influx;
    };
    const Case cases[] = {
        {fields("speed", "5.38", "m/s", "DP"),
         R"({"instrument":"duct 7","host":"pc","seq":41,"time":"2026-12-08T12:29:31.512+01:00",)"
         R"("unix_ms":1796729371512,"mode":"speed","value":5.38,"unit":"m/s","rh":50.9,"temperature":-3.5,)"
         R"("temperature_unit":"C","marker":"DP","hold":"max","speed":5.38,"area":1.234,"temperature_c":-3.5,)"
         R"("flow_m3_h":null,"frame":"eb00000000000000000000000000000a"})",
         "breezon,instrument=duct\\ 7,host=pc,mode=speed,unit=m/s,temperature_unit=C,marker=DP,hold=max "
         "speed=5.38,rh=50.9,temperature=-3.5,value=5.38,area=1.234,temperature_c=-3.5,seq=41i "
         "1796729371512000000"},
        {fields("flow", "1234.5", "CFM", ""),
         R"({"instrument":"duct 7","host":"pc","seq":41,"time":"2026-12-08T12:29:31.512+01:00",)"
         R"("unix_ms":1796729371512,"mode":"flow","value":1234.5,"unit":"CFM","rh":50.9,"temperature":-3.5,)"
         R"("temperature_unit":"C","marker":null,"hold":"max","speed":5.38,"area":1.234,"temperature_c":-3.5,)"
         R"("flow_m3_h":2097.5,"frame":"eb00000000000000000000000000000a"})",
         "breezon,instrument=duct\\ 7,host=pc,mode=flow,unit=CFM,temperature_unit=C,hold=max "
         "speed=5.38,rh=50.9,temperature=-3.5,value=1234.5,area=1.234,temperature_c=-3.5,flow_m3_h=2097.5,seq=41i "
         "1796729371512000000"},
        {fields("none", "", "", ""),
         R"({"instrument":"duct 7","host":"pc","seq":41,"time":"2026-12-08T12:29:31.512+01:00",)"
         R"("unix_ms":1796729371512,"mode":"none","value":null,"unit":null,"rh":50.9,"temperature":-3.5,)"
         R"("temperature_unit":"C","marker":null,"hold":"max","speed":5.38,"area":1.234,"temperature_c":-3.5,)"
         R"("flow_m3_h":null,"frame":"eb00000000000000000000000000000a"})",
         "breezon,instrument=duct\\ 7,host=pc,mode=none,temperature_unit=C,hold=max "
         "speed=5.38,rh=50.9,temperature=-3.5,area=1.234,temperature_c=-3.5,seq=41i 1796729371512000000"},
    };
    for (const Case &c : cases) {
        const QByteArray json = jsonRow(c.row, QStringLiteral("duct 7"), QStringLiteral("pc"));
        EXPECT_EQ(json.toStdString(), c.json);
        QJsonParseError error;
        QJsonDocument::fromJson(json, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
        EXPECT_EQ(influxRow(c.row, QStringLiteral("duct 7"), QStringLiteral("pc")).toStdString(), c.influx);
    }
}

// Every character the line protocol escapes in a tag, and those it takes as
// they are; JSON carries each as itself.
TEST(RowFormats, NamesAreEscapedAsTheLineProtocolAndJsonWantThem)
{
    const struct {
        const char *name, *tag;
    } cases[] = {
        {"duct 7", "duct\\ 7"},
        {"a,b", "a\\,b"},
        {"a=b", "a\\=b"},
        {" =,", "\\ \\=\\,"},
        {"q\"uote", "q\"uote"},
        {"back\\slash", "back\\slash"},
        {"tab\there", "tab\there"},
        {"Kühlraum 3", "Kühlraum\\ 3"},
    };
    for (const auto &c : cases) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(influxTag(name).toStdString(), c.tag) << c.name;
        const QJsonObject o =
            QJsonDocument::fromJson(jsonRow(fields("speed", "1", "m/s", ""), name, QStringLiteral("pc"))).object();
        EXPECT_EQ(o.value("instrument").toString(), name) << c.name;
    }
}

TEST(InstrumentName, ANameNoOutputCanCarryIsRefusedAndTheDefaultAlwaysWorks)
{
    const struct {
        const char *name;
        const char *problem; // a word of the reason; null when the name is fine
    } cases[] = {
        {"duct 7", nullptr},     {"a,b=c \"d\"", nullptr}, {"back\\slash", nullptr}, {"Kühlraum", nullptr},
        {"", "needs a name"},    {"two\nlines", "control character"}, {"tab\t", "control character"},
        {"end\\", "backslash"},  {"a\\ b", "backslash"},  {"a\\,b", "backslash"},   {"a\\=b", "backslash"},
    };
    for (const auto &c : cases) {
        const QString problem = nameProblem(QString::fromUtf8(c.name));
        if (c.problem)
            EXPECT_TRUE(problem.contains(QLatin1String(c.problem))) << c.name << ": " << problem.toStdString();
        else
            EXPECT_TRUE(problem.isEmpty()) << c.name << ": " << problem.toStdString();
    }
    EXPECT_TRUE(nameProblem(QString(kMostNameBytes / 2 + 1, QChar(0xE4))).contains(QLatin1String("bytes")));

    EXPECT_EQ(defaultInstrumentName(QStringLiteral("board7"), QStringLiteral("/dev/ttyUSB0")),
              QStringLiteral("board7-ttyUSB0"));
    EXPECT_EQ(defaultInstrumentName(QString(), QStringLiteral("demo")), QStringLiteral("localhost-demo"));
    for (const char *port : {"/dev/serial/by-id/usb-FTDI\nx\\", "/tmp/a\\ b,c", "/dev/x\\"}) {
        const QString name = defaultInstrumentName(QStringLiteral("pc"), QString::fromUtf8(port));
        EXPECT_TRUE(nameProblem(name).isEmpty()) << port << " makes " << name.toStdString();
    }
    EXPECT_TRUE(nameProblem(defaultInstrumentName(QString(300, QLatin1Char('h')), QStringLiteral("p"))).isEmpty());
}

} // namespace
