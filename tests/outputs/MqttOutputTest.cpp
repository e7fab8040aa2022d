// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT output publishing to a real Mosquitto broker: what arrives, in
// what order, across a broker frozen and killed, a killed recorder and a
// restart with the broker away; and what Home Assistant's discovery sees
// through mode switches, silence and its own restart.
#include "Broker.h"
#include "EventLoop.h"
#include "Frame.h"
#include "HaDiscovery.h"
#include "Recorder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <csignal>
#include <cstdio>
#include <ostream>
#include <pty.h>

// Payloads print as their text in failure messages.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << bytes.toStdString();
}

namespace {

TEST_F(Mqtt, RowsArriveInOrderAsTheJsonlLinesBetweenOnlineAndOffline)
{
    const QString prefix = QStringLiteral("test/order");
    Subscriber sub(*broker, prefix + QStringLiteral("/#"));
    const Ran run = runRecorder(publishing(broker->url(prefix), {"--rows", "5", "--name", "duct 7"}));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QList<QByteArray> printed = printedLines(run.out);

    const QList<QByteArray> messages = sub.until("status offline");
    ASSERT_GE(messages.size(), 7);
    EXPECT_EQ(messages.first(), prefix.toUtf8() + "/status online");
    EXPECT_EQ(messages.last(), prefix.toUtf8() + "/status offline");
    // The payloads are the jsonl lines, byte for byte and in order.
    const QList<QByteArray> payloads = readings(messages, prefix);
    ASSERT_EQ(payloads.size(), 5);
    EXPECT_EQ(payloads, printed);
    // Their fields: FormatsTest.
    for (int i = 0; i < payloads.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(payloads[i]).object();
        EXPECT_EQ(o.value("seq").toInt(-1), i);
        EXPECT_EQ(o.value("instrument").toString(), QStringLiteral("duct 7"));
    }
}

// The broker freezes (SIGSTOP) with rows in flight, is killed and started
// again: every row arrives, none overtakes an older one (rows sent after the
// reconnect wait for the resent ones), and none is dropped (QoS 0 would
// lose those the frozen broker never read). The messages count the rows
// when it happened, and the stop exits 0.
TEST_F(Mqtt, ABrokerFrozenThenKilledLosesAndReordersNoRow)
{
    Broker own;
    ASSERT_TRUE(own.start());
    const QString prefix = QStringLiteral("test/frozen");
    Subscriber sub(own, prefix + QStringLiteral("/reading"));
    runFor(1200); // the broker's autosave keeps the subscriber's session
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p, publishing(own.url(prefix), {"--seconds", "60"}), 3, printed));
    own.freeze();
    ASSERT_TRUE(waitForRows(p, printed, 7)); // in flight, unanswered
    own.kill();
    ASSERT_TRUE(waitForRows(p, printed, 9)); // recording goes on meanwhile
    ASSERT_TRUE(own.start());
    ASSERT_TRUE(waitForRows(p, printed, 11));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    printed += p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(err.count("is away (the connection was lost: "), 1) << err.toStdString();
    EXPECT_FALSE(err.contains("Unknown error")) << err.toStdString();
    // Counted at the reconnect, not after the drain.
    const qsizetype back = err.indexOf("takes the rows again (");
    EXPECT_GE(back < 0 ? -1 : err.mid(back + 22).split(' ').first().toInt(), 4) << err.toStdString();

    const QList<QByteArray> lines = printedLines(printed);
    const QList<QByteArray> payloads = readings(sub.until(lines.last()), prefix);
    // QoS 1 may deliver a row twice across the restart; what is new must
    // come in order, with nothing missing.
    QList<QByteArray> firsts;
    for (const QByteArray &payload : payloads)
        if (!firsts.contains(payload))
            firsts << payload;
    EXPECT_EQ(firsts, lines);
}

TEST_F(Mqtt, AKilledRecorderShowsOfflineByItsLastWill)
{
    const QString prefix = QStringLiteral("test/killed");
    Subscriber sub(*broker, prefix + QStringLiteral("/status"));
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p, publishing(broker->url(prefix), {"--seconds", "60"}), 2, printed));
    EXPECT_EQ(sub.until("online", 5000).value(0), prefix.toUtf8() + "/status online");
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    EXPECT_EQ(sub.until("offline", 10000).value(1), prefix.toUtf8() + "/status offline");
}

// The `seq` of each reading, repeats in a row (QoS 1 may deliver one twice
// across a reconnect) counted once.
QList<int> seqs(const QList<QByteArray> &messages)
{
    QList<int> out;
    for (const QByteArray &m : messages) {
        const int seq = QJsonDocument::fromJson(m.mid(m.indexOf(' ') + 1)).object().value("seq").toInt(-1);
        if (out.isEmpty() || out.last() != seq)
            out << seq;
    }
    return out;
}

// Rows a broker has not taken wait in the run's recording, across the end
// of a run and a restart, and go out in order when it is back; a recording
// sent again to a destination of its own goes whole.
TEST(Outbox, RowsTheBrokerMissedGoOutAfterARestartInOrder)
{
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("duct.breezon"));
    Broker broker; // not started: away for the whole first run
    const auto run = [&](const char *rows, const char *wait) {
        return runRecorder(demo({"--rows", rows, "--breezon", recording, "--mqtt",
                                 broker.url(QStringLiteral("test/outbox")), "--mqtt-wait", wait}));
    };
    const Ran away = run("4", "0");
    EXPECT_EQ(away.status, 0) << away.err.toStdString(); // nothing lost: they wait
    EXPECT_TRUE(away.err.contains("4 rows wait in the outbox")) << away.err.toStdString();

    ASSERT_TRUE(broker.start());
    Subscriber sub(broker, QStringLiteral("test/outbox/reading"));
    const Ran back = run("3", "10");
    EXPECT_EQ(back.status, 0) << back.err.toStdString();
    EXPECT_EQ(seqs(sub.until("\"seq\":6,")), (QList<int>{0, 1, 2, 3, 4, 5, 6}));

    // Sent again, whole, to a destination that has none of it.
    Subscriber again(broker, QStringLiteral("test/again/reading"));
    const Ran from = runRecorder({"--from", recording, "--mqtt", broker.url(QStringLiteral("test/again"))});
    EXPECT_EQ(from.status, 0) << from.err.toStdString();
    EXPECT_EQ(seqs(again.until("\"seq\":6,")), (QList<int>{0, 1, 2, 3, 4, 5, 6}));
}

// Each config holds only keys Home Assistant's MQTT sensor documents, in
// units its device class accepts; no config depends on a row, so no mode
// or unit switch changes or deletes an entity.
TEST(HaDiscovery, FourSensorsOfOneDeviceWhateverTheInstrumentShows)
{
    const QStringList documented = {"name", "unique_id", "state_topic", "value_template", "unit_of_measurement",
                                    "device_class", "state_class", "expire_after", "availability",
                                    "availability_mode", "qos", "device", "origin"};
    const auto messages = haDiscovery({QStringLiteral("site/duct7"), QStringLiteral("duct 7"), 1000});
    ASSERT_EQ(messages.size(), 4u);
    QStringList objects;
    for (const DiscoveryMessage &m : messages) {
        ASSERT_FALSE(m.payload.isEmpty()) << m.topic.toStdString();
        EXPECT_TRUE(m.topic.startsWith(QLatin1String("homeassistant/sensor/breezon_site_duct7/")));
        const QJsonObject o = QJsonDocument::fromJson(m.payload).object();
        for (const QString &key : o.keys())
            EXPECT_TRUE(documented.contains(key)) << key.toStdString();
        EXPECT_EQ(o.value("state_topic").toString(), QStringLiteral("site/duct7/reading"));
        EXPECT_EQ(o.value("availability").toArray().first().toObject().value("topic").toString(),
                  QStringLiteral("site/duct7/status"));
        EXPECT_EQ(o.value("expire_after").toInt(), 60);
        EXPECT_EQ(o.value("device").toObject().value("name").toString(), QStringLiteral("duct 7"));
        EXPECT_EQ(o.value("origin").toObject().value("sw_version").toString(), QStringLiteral(BREEZON_VERSION));
        // Held and DP/WB rows leave the live value as it was.
        EXPECT_TRUE(o.value("value_template").toString().contains(QLatin1String("hold == 'current'")));
        objects << o.value("device_class").toString() + QLatin1Char(' ') + o.value("unit_of_measurement").toString() +
                       QLatin1Char(' ') + QString::number(o.value("availability").toArray().size());
    }
    EXPECT_EQ(objects, (QStringList{"wind_speed m/s 1", "volume_flow_rate m³/h 2", "temperature °C 1",
                                    "humidity % 1"}));
    EXPECT_EQ(haExpireAfterS(60000), 180);
}

// Home Assistant keeps its four entities whatever the instrument shows: the
// configs come at the connection and again on its birth message, are never
// empty and never change; the status says "offline" while the instrument
// is silent and "online" when it sends again.
TEST_F(Mqtt, HomeAssistantKeepsItsEntitiesThroughModesSilenceAndItsRestart)
{
    const QString prefix = QStringLiteral("test/ha");
    Subscriber sub(*broker, {QStringLiteral("homeassistant/sensor/#"), prefix + QStringLiteral("/#")});
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    RecorderOptions o;
    o.port = QString::fromLatin1(name);
    o.periodMs = 500;
    o.seconds = 5;
    o.noDataAfterMs = 300;
    o.outputs = {{QStringLiteral("--mqtt"), broker->url(prefix)}};
    o.settings = {{QStringLiteral("--ha-discovery"), QStringLiteral("1")},
                  {QStringLiteral("--mqtt-wait"), QStringLiteral("1")},
                  {QStringLiteral("--breezon"), folder.filePath(QStringLiteral("ha.breezon"))}};
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    Recorder recorder(o, out, err);
    ASSERT_TRUE(recorder.start());

    // Every kind of row, a frame each 250 ms (the instrument's pace, which
    // the reader keeps up with), for 1.5 s; silence; Home Assistant
    // restarts; frames again for 1 s.
    using Q = FrameFields::Quantity;
    std::vector<FrameFields> kinds(6);
    kinds[1].quantity = Q::AirFlow;
    kinds[1].unit = 2; // CFM
    kinds[1].reading = 1200;
    kinds[2].quantity = Q::Neither;
    kinds[3].hold = FrameFields::Hold::Max;
    kinds[4].derived = FrameFields::Derived::DewPoint;
    kinds[5].quantity = Q::AirFlow;
    kinds[5].fahrenheit = true;
    QElapsedTimer clock;
    clock.start();
    std::size_t sent = 0;
    qint64 nextAt = 0;
    bool birth = false;
    runUntil([&] {
        const qint64 t = clock.elapsed();
        if (t >= nextAt && (t < 1500 || (t >= 3000 && t < 4000))) {
            const SampleFrame f = wireFrame(kinds[sent++ % kinds.size()]);
            EXPECT_EQ(::write(master, f.bytes.data(), f.bytes.size()), ssize_t(f.bytes.size()));
            nextAt = t < 1500 && t + 250 >= 1500 ? 3000 : t + 250;
        }
        if (t > 2500 && !birth)
            birth = broker->publish(QString::fromLatin1(kHaStatusTopic), QStringLiteral("online"));
        return t > 4200;
    }, 10000);
    recorder.finish();

    const QList<QByteArray> messages = sub.until(prefix.toUtf8() + "/status offline", 5000, 2);
    QHash<QString, QSet<QByteArray>> configs;
    int sentConfigs = 0;
    for (const QByteArray &m : messages) {
        if (!m.startsWith("homeassistant/sensor/"))
            continue;
        const QByteArray topic = m.left(m.indexOf(' '));
        const QByteArray payload = m.mid(topic.size() + 1);
        EXPECT_TRUE(QJsonDocument::fromJson(payload).isObject()) << m.toStdString(); // never empty
        configs[QString::fromUtf8(topic)].insert(payload);
        ++sentConfigs;
    }
    EXPECT_EQ(configs.size(), 4);
    EXPECT_EQ(sentConfigs, 8); // at the connection and on the birth message
    for (const auto &sent : configs)
        EXPECT_EQ(sent.size(), 1); // the same config each time
    QSet<QString> modes;
    for (const QByteArray &r : readings(messages, prefix))
        modes.insert(QJsonDocument::fromJson(r).object().value("mode").toString());
    EXPECT_TRUE(modes.contains(QStringLiteral("speed")) && modes.contains(QStringLiteral("flow"))) << modes.size();
    QList<QByteArray> changes;
    for (const QByteArray &s : payloadsOf(messages, prefix + QStringLiteral("/status")))
        if (changes.isEmpty() || changes.last() != s)
            changes << s;
    EXPECT_EQ(changes, (QList<QByteArray>{"online", "offline", "online", "offline"}));
    std::fclose(out);
    std::fclose(err);
    ::close(slave);
    ::close(master);
}

} // namespace
