// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record publishing to a real Mosquitto broker: what arrives, in
// what order, across a broker frozen and killed and a killed recorder; what
// TLS and a broker that refuses the password make the recorder say; and
// what Home Assistant's discovery sees through mode switches, silence and
// its own restart.
#include "Broker.h"
#include "Certificates.h"
#include "EventLoop.h"
#include "Frame.h"
#include "HaDiscovery.h"
#include "Recorder.h"
#include "RecorderProcess.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

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

const QString kProgram = QStringLiteral(BREEZON_RECORD_PATH);

class Mqtt : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        broker = new Broker;
        ASSERT_TRUE(broker->start()) << broker->log().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete broker;
        broker = nullptr;
    }
    static Broker *broker;

    // A run of the simulated instrument publishing to `url`, in a
    // recording (and so an outbox) of this test's own.
    QStringList demo(const QString &url, const QString &length) const
    {
        return {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                length.section(' ', 0, 0), length.section(' ', 1, 1), QStringLiteral("--stdout"),
                QStringLiteral("jsonl"), QStringLiteral("--mqtt"), url, QStringLiteral("--breezon"),
                folder.filePath(QStringLiteral("%1.breezon").arg(++runs))};
    }
    QTemporaryDir folder;
    mutable int runs = 0;
};
Broker *Mqtt::broker = nullptr;

// The payloads of `topic`, in the order received.
QList<QByteArray> payloadsOf(const QList<QByteArray> &messages, const QString &topic)
{
    const QByteArray prefix = (topic + QLatin1Char(' ')).toUtf8();
    QList<QByteArray> payloads;
    for (const QByteArray &m : messages)
        if (m.startsWith(prefix))
            payloads << m.mid(prefix.size());
    return payloads;
}

QList<QByteArray> readings(const QList<QByteArray> &messages, const QString &prefix)
{
    return payloadsOf(messages, prefix + QStringLiteral("/reading"));
}

QList<QByteArray> printedLines(QByteArray printed)
{
    QList<QByteArray> lines = printed.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

TEST_F(Mqtt, RowsArriveInOrderWithThePayloadsFields)
{
    const QString prefix = QStringLiteral("test/order");
    Subscriber sub(*broker, prefix + QStringLiteral("/#"));
    QProcess p;
    p.start(kProgram, demo(broker->url(prefix), QStringLiteral("--rows 5")) << QStringLiteral("--name")
                                                                             << QStringLiteral("duct 7"));
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QList<QByteArray> printed = printedLines(p.readAllStandardOutput());

    const QList<QByteArray> messages = sub.until("status offline");
    ASSERT_GE(messages.size(), 7);
    EXPECT_EQ(messages.first(), prefix.toUtf8() + "/status online");
    EXPECT_EQ(messages.last(), prefix.toUtf8() + "/status offline");
    // The payloads are the jsonl lines, byte for byte and in order.
    const QList<QByteArray> payloads = readings(messages, prefix);
    ASSERT_EQ(payloads.size(), 5);
    EXPECT_EQ(payloads, printed);
    const QStringList keys = {"area", "flow_m3_h", "frame", "hold", "host", "instrument", "marker", "mode", "rh",
                              "seq", "speed", "temperature", "temperature_c", "temperature_unit", "time", "unit",
                              "unix_ms", "value"};
    for (int i = 0; i < payloads.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(payloads[i]).object();
        EXPECT_EQ(o.keys(), keys) << payloads[i].toStdString();
        EXPECT_EQ(o.value("seq").toInt(-1), i);
        EXPECT_EQ(o.value("instrument").toString(), QStringLiteral("duct 7"));
        for (const char *number : {"value", "rh", "temperature", "speed", "area", "unix_ms", "temperature_c"})
            EXPECT_TRUE(o.value(number).isDouble()) << number;
        EXPECT_TRUE(o.value("marker").isNull());
        EXPECT_EQ(o.value("frame").toString().size(), 32);
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
    ASSERT_TRUE(startAndWaitForRows(p, demo(own.url(prefix), QStringLiteral("--seconds 60")), 3, printed));
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
    ASSERT_TRUE(startAndWaitForRows(p, demo(broker->url(prefix), QStringLiteral("--seconds 60")), 2, printed));
    EXPECT_EQ(sub.until("online", 5000).value(0), prefix.toUtf8() + "/status online");
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    EXPECT_EQ(sub.until("offline", 10000).value(1), prefix.toUtf8() + "/status offline");
}

// The password comes from a file, the environment or the service's
// credential, never the command line; a wrong one is told once, clearly,
// and recording goes on.
TEST_F(Mqtt, PasswordsStayOffTheCommandLineAndAWrongOneIsToldOnce)
{
    enum From { File, Environment, Credential };
    struct Case {
        From from;
        const char *password;
        bool accepted;
    };
    const Case cases[] = {{Environment, kPassword, true},
                          {File, kPassword, true},
                          {Credential, kPassword, true},
                          {Environment, "wrong", false}};
    int n = 0;
    for (const Case &c : cases) {
        const QString prefix = QStringLiteral("test/password%1").arg(++n);
        Subscriber sub(*broker, prefix + QStringLiteral("/reading"));
        QStringList args = demo(broker->url(prefix, true), QStringLiteral("--seconds 2"));
        args << QStringLiteral("--mqtt-user") << QString::fromLatin1(kUser) << QStringLiteral("--mqtt-wait")
             << QStringLiteral("1");
        QTemporaryDir credentials;
        QFile file(credentials.filePath(QStringLiteral("mqtt-password")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(c.password) + '\n');
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.from == File)
            args << QStringLiteral("--mqtt-password-file") << file.fileName();
        else if (c.from == Credential)
            env.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), credentials.path());
        else
            env.insert(QStringLiteral("BREEZON_MQTT_PASSWORD"), QString::fromLatin1(c.password));
        QProcess p;
        p.setProcessEnvironment(env);
        QByteArray printed;
        ASSERT_TRUE(startAndWaitForRows(p, args, 1, printed));
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
        ASSERT_TRUE(cmdline.open(QIODevice::ReadOnly));
        const QByteArray commandLine = cmdline.readAll();
        EXPECT_TRUE(commandLine.contains("--mqtt-user"));
        EXPECT_FALSE(commandLine.contains(c.password)) << n;

        ASSERT_TRUE(p.waitForFinished(30000));
        printed += p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        const QList<QByteArray> rows = printedLines(printed);
        EXPECT_GE(rows.size(), 3) << n; // recording went on either way
        if (c.accepted) {
            EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
            EXPECT_EQ(readings(sub.until(rows.last()), prefix).size(), rows.size()) << n;
        } else {
            EXPECT_EQ(p.exitCode(), 4);
            // Told once while running (libmosquitto tried more than once), and
            // the rows it could not deliver at the end.
            EXPECT_EQ(err.count("check --mqtt-user and the password; the rows wait"), 1) << err.toStdString();
            EXPECT_TRUE(err.contains("rows wait in the outbox")) << err.toStdString();
        }
    }
}

// A good certificate delivers; an authority not trusted and a certificate
// for another name each say which check failed.
TEST_F(Mqtt, TlsSaysWhichCheckFailed)
{
    Certificates certs;
    ASSERT_TRUE(certs.make());
    const int goodPort = freePort(), wrongNamePort = freePort();
    QString listeners;
    for (const auto &[port, cert] :
         {std::pair{goodPort, QStringLiteral("good")}, {wrongNamePort, QStringLiteral("wrong-name")}})
        listeners += QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\ncertfile %2\nkeyfile %3\n")
                         .arg(port)
                         .arg(certs.path(cert + QStringLiteral(".pem")), certs.path(cert + QStringLiteral(".key")));
    Broker tls(listeners);
    ASSERT_TRUE(tls.start()) << tls.log().toStdString();
    const struct {
        int port;
        const char *ca;
        const char *says; // null: delivers
    } cases[] = {
        {goodPort, "ca.pem", nullptr},
        {goodPort, "other-ca.pem", "TLS: the broker's certificate (CN=127.0.0.1) is signed by an unknown authority "
                                   "(CN=breezon test CA), not one trusted by "},
        {wrongNamePort, "ca.pem", "TLS: the host name does not match: the broker's certificate is for broker.example, "
                                  "not for 127.0.0.1"},
    };
    for (const auto &c : cases) {
        const QString prefix = QStringLiteral("test/tls%1").arg(c.port);
        Subscriber sub(tls, prefix + QStringLiteral("/reading"));
        QStringList args = demo(QStringLiteral("mqtts://127.0.0.1:%1/%2").arg(c.port).arg(prefix),
                                QStringLiteral("--rows 3"));
        args << QStringLiteral("--mqtt-ca") << certs.path(QString::fromLatin1(c.ca)) << QStringLiteral("--mqtt-wait")
             << QStringLiteral("1");
        QProcess p;
        p.start(kProgram, args);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QByteArray err = p.readAllStandardError();
        const QList<QByteArray> rows = printedLines(p.readAllStandardOutput());
        ASSERT_EQ(rows.size(), 3);
        if (!c.says) {
            EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
            EXPECT_EQ(readings(sub.until(rows.last()), prefix), rows);
        } else {
            EXPECT_EQ(p.exitCode(), 4) << err.toStdString();
            EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
            EXPECT_EQ(err.count("; the rows wait in the recording"), 1) << err.toStdString(); // told once
        }
    }
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
