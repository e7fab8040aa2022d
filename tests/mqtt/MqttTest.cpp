// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record publishing to a real Mosquitto broker: what arrives, in
// what order, across a broker restart and a killed recorder, and what a
// broker that refuses the password makes the recorder say.
#include "Broker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>

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

// The payloads of PREFIX/reading, in the order received.
QList<QByteArray> readings(const QList<QByteArray> &messages, const QString &prefix)
{
    const QByteArray topic = (prefix + QStringLiteral("/reading ")).toUtf8();
    QList<QByteArray> payloads;
    for (const QByteArray &m : messages)
        if (m.startsWith(topic))
            payloads << m.mid(topic.size());
    return payloads;
}

QList<QByteArray> printedLines(QProcess &p)
{
    QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

// Reads standard output until `rows` lines have been printed.
bool waitForRows(QProcess &p, QByteArray &printed, int rows)
{
    while (printed.count('\n') < rows)
        if (!p.waitForReadyRead(20000))
            return false;
        else
            printed += p.readAllStandardOutput();
    return true;
}

TEST_F(Mqtt, RowsArriveInOrderWithThePayloadsFields)
{
    const QString prefix = QStringLiteral("test/order");
    Subscriber sub(*broker, prefix + QStringLiteral("/#"));
    QProcess p;
    p.start(kProgram, demo(broker->url(prefix), QStringLiteral("--rows 5")));
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QList<QByteArray> printed = printedLines(p);

    const QList<QByteArray> messages = sub.until("status offline");
    ASSERT_GE(messages.size(), 7);
    EXPECT_EQ(messages.first(), prefix.toUtf8() + "/status online");
    EXPECT_EQ(messages.last(), prefix.toUtf8() + "/status offline");
    // The payloads are the jsonl lines, byte for byte and in order.
    const QList<QByteArray> payloads = readings(messages, prefix);
    ASSERT_EQ(payloads.size(), 5);
    EXPECT_EQ(payloads, printed);
    const QStringList keys = {"area", "frame", "hold", "marker", "mode", "rh", "seq", "speed", "temperature",
                              "temperature_unit", "time", "unit", "unix_ms", "value"};
    for (int i = 0; i < payloads.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(payloads[i]).object();
        EXPECT_EQ(o.keys(), keys) << payloads[i].toStdString();
        EXPECT_EQ(o.value("seq").toInt(-1), i);
        for (const char *number : {"value", "rh", "temperature", "speed", "area", "unix_ms"})
            EXPECT_TRUE(o.value(number).isDouble()) << number;
        EXPECT_TRUE(o.value("marker").isNull());
        EXPECT_EQ(o.value("frame").toString().size(), 32);
    }
}

TEST_F(Mqtt, ABrokerRestartedMidRunLosesNoRow)
{
    const QString prefix = QStringLiteral("test/restart");
    Subscriber sub(*broker, prefix + QStringLiteral("/reading"));
    QProcess p;
    p.start(kProgram, demo(broker->url(prefix), QStringLiteral("--seconds 10")));
    QByteArray printed;
    ASSERT_TRUE(waitForRows(p, printed, 3));
    broker->stop();
    ASSERT_TRUE(waitForRows(p, printed, 7)); // recording goes on meanwhile
    ASSERT_TRUE(broker->start());
    ASSERT_TRUE(p.waitForFinished(30000));
    printed += p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(err.count("is away"), 1) << err.toStdString();
    EXPECT_EQ(err.count("takes the rows again"), 1) << err.toStdString();

    QList<QByteArray> lines = printed.split('\n');
    lines.removeAll(QByteArray());
    const QList<QByteArray> payloads = readings(sub.until(lines.last()), prefix);
    // QoS 1 may deliver a row twice across the restart, never skip one or
    // let one overtake another.
    QList<QByteArray> once;
    for (const QByteArray &payload : payloads)
        if (once.isEmpty() || once.last() != payload)
            once << payload;
    EXPECT_EQ(once, lines);
}

TEST_F(Mqtt, AKilledRecorderShowsOfflineByItsLastWill)
{
    const QString prefix = QStringLiteral("test/killed");
    Subscriber sub(*broker, prefix + QStringLiteral("/status"));
    QProcess p;
    p.start(kProgram, demo(broker->url(prefix), QStringLiteral("--seconds 60")));
    QByteArray printed;
    ASSERT_TRUE(waitForRows(p, printed, 2));
    EXPECT_EQ(sub.until("online", 5000).value(0), prefix.toUtf8() + "/status online");
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    EXPECT_EQ(sub.until("offline", 10000).value(1), prefix.toUtf8() + "/status offline");
}

// The password comes from the environment or a file, never the command
// line; a wrong one is told once, clearly, and recording goes on.
TEST_F(Mqtt, PasswordsStayOffTheCommandLineAndAWrongOneIsToldOnce)
{
    struct Case {
        bool fromFile;
        const char *password;
        bool accepted;
    };
    const Case cases[] = {{false, kPassword, true}, {true, kPassword, true}, {false, "wrong", false}};
    int n = 0;
    for (const Case &c : cases) {
        const QString prefix = QStringLiteral("test/password%1").arg(++n);
        Subscriber sub(*broker, prefix + QStringLiteral("/reading"));
        QStringList args = demo(broker->url(prefix, true), QStringLiteral("--seconds 4"));
        args << QStringLiteral("--mqtt-user") << QString::fromLatin1(kUser);
        QTemporaryFile file;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.fromFile) {
            ASSERT_TRUE(file.open());
            file.write(QByteArray(c.password) + '\n');
            file.flush();
            args << QStringLiteral("--mqtt-password-file") << file.fileName();
        } else {
            env.insert(QStringLiteral("BREEZON_MQTT_PASSWORD"), QString::fromLatin1(c.password));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(kProgram, args);
        QByteArray printed;
        ASSERT_TRUE(waitForRows(p, printed, 1));
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
        ASSERT_TRUE(cmdline.open(QIODevice::ReadOnly));
        const QByteArray commandLine = cmdline.readAll();
        EXPECT_TRUE(commandLine.contains("--mqtt-user"));
        EXPECT_FALSE(commandLine.contains(c.password)) << n;

        ASSERT_TRUE(p.waitForFinished(30000));
        printed += p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        const int rows = int(printed.count('\n'));
        EXPECT_GE(rows, 7) << n; // recording went on either way
        if (c.accepted) {
            EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
            EXPECT_EQ(readings(sub.until(printed.split('\n').value(rows - 1)), prefix).size(), rows) << n;
        } else {
            EXPECT_EQ(p.exitCode(), 4);
            // Told once while running (libmosquitto tried more than once), and
            // the rows it could not deliver at the end.
            EXPECT_EQ(err.count("check --mqtt-user and the password; the rows wait"), 1) << err.toStdString();
            EXPECT_TRUE(err.contains("rows wait in the outbox")) << err.toStdString();
        }
    }
}

} // namespace
