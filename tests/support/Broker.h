// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real Mosquitto broker for the tests, on 127.0.0.1 on a free port, a
// subscriber (mosquitto_sub) that collects what it receives, and a fixture
// with a broker for its suite.
//
// The broker has two listeners: one open to anyone, one that wants the user
// kUser with kPassword, and whatever more a test gives it. It keeps its
// state on disk, saved every second, so a subscriber's session (QoS 1, not
// clean) outlives a restart, even one after SIGKILL, as a production
// broker's does; a row published while the subscriber reconnects is then
// kept for it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "Ports.h"
#include "RecorderProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

inline const char *const kUser = "meter";
inline const char *const kPassword = "duct-7-secret";
// Kept by the broker for every subscriber: its arrival says the subscriber
// is subscribed.
inline const QByteArray kProbeTopic = "breezon-test/ready";

class Broker {
public:
    const int port = freePort();
    const int securePort = freePort(); // the listener that wants a password

    // `listeners`: more of mosquitto.conf, for listeners of a test's own.
    explicit Broker(const QString &listeners = {})
    {
        QProcess passwd;
        passwd.start(QStringLiteral("mosquitto_passwd"),
                     {QStringLiteral("-c"), QStringLiteral("-b"), dir_.filePath(QStringLiteral("passwords")),
                      QString::fromLatin1(kUser), QString::fromLatin1(kPassword)});
        passwd.waitForFinished(10000);
        QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("per_listener_settings true\n"
                                  "user root\n" // as root, do not drop to a user that cannot read this folder
                                  "persistence true\n"
                                  "persistence_location %1/\n"
                                  "autosave_interval 1\n"
                                  "log_dest stderr\n"
                                  "listener %2 127.0.0.1\n"
                                  "allow_anonymous true\n"
                                  "listener %3 127.0.0.1\n"
                                  "allow_anonymous false\n"
                                  "password_file %4\n")
                           .arg(dir_.path())
                           .arg(port)
                           .arg(securePort)
                           .arg(dir_.filePath(QStringLiteral("passwords")))
                           .toUtf8() +
                   listeners.toUtf8());
    }
    ~Broker() { stop(); }

    bool start()
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
        for (int i = 0; i < 100; ++i) {
            if (accepts(port) && accepts(securePort))
                return publish(QString::fromLatin1(kProbeTopic), QStringLiteral("ready"), true);
            if (process_.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return false;
    }
    // Ends the broker as a service stop does (it saves its state).
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(10000);
    }
    // Frozen (SIGSTOP): connections stay open, nothing is read or answered.
    void freeze() { ::kill(pid_t(process_.processId()), SIGSTOP); }
    // Gone at once, with what it had not saved (SIGKILL).
    void kill()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }
    QByteArray log() { return process_.readAll(); }
    // Publishes as another client would (Home Assistant's birth message).
    bool publish(const QString &topic, const QString &payload, bool retained = false) const
    {
        QStringList args{"-p", QString::number(port), "-t", topic, "-m", payload, "-q", "1"};
        if (retained)
            args << QStringLiteral("-r");
        QProcess pub;
        pub.start(QStringLiteral("mosquitto_pub"), args);
        return pub.waitForFinished(10000) && pub.exitCode() == 0;
    }
    QString url(const QString &prefix, bool secure = false) const
    {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(secure ? securePort : port).arg(prefix);
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// mosquitto_sub on the open listener: "TOPIC PAYLOAD" per message, QoS 1,
// a session of its own that outlives a broker restart. Subscribed when
// constructed: the broker's probe has come back.
class Subscriber {
public:
    Subscriber(const Broker &broker, const QStringList &topics)
    {
        static int count = 0;
        QStringList args = {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                            QString::number(broker.port), QStringLiteral("-t"), QString::fromLatin1(kProbeTopic),
                            QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("-i"),
                            QStringLiteral("breezon-test-%1-%2").arg(::getpid()).arg(++count), QStringLiteral("-v")};
        for (const QString &topic : topics)
            args << QStringLiteral("-t") << topic;
        process_.start(QStringLiteral("mosquitto_sub"), args);
        until(kProbeTopic + ' ', 10000);
    }
    Subscriber(const Broker &broker, const QString &topic) : Subscriber(broker, QStringList{topic}) {}
    ~Subscriber()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // Every message so far but the probes, waiting up to `ms` until one
    // contains `last` (`times` times).
    QList<QByteArray> until(const QByteArray &last, int ms = 20000, int times = 1)
    {
        for (int waited = 0; received_.count(last) < times && waited < ms; waited += 100) {
            process_.waitForReadyRead(100);
            received_ += process_.readAllStandardOutput();
        }
        QList<QByteArray> lines;
        for (const QByteArray &line : received_.split('\n'))
            if (!line.isEmpty() && !line.startsWith(kProbeTopic + ' '))
                lines << line;
        return lines;
    }

private:
    QProcess process_;
    QByteArray received_;
};

// A suite's broker, and runs of the simulated instrument publishing to it,
// printing each row as its payload, in a recording (and so an outbox) of
// their own.
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
    static inline Broker *broker = nullptr;

    QStringList publishing(const QString &url, const QStringList &more) const
    {
        return demo(QStringList{"--stdout", "jsonl", "--mqtt", url, "--breezon",
                                folder.filePath(QStringLiteral("%1.breezon").arg(++runs))} +
                    more);
    }
    QTemporaryDir folder;
    mutable int runs = 0;
};

// The payloads of `topic` among a subscriber's messages, in the order received.
inline QList<QByteArray> payloadsOf(const QList<QByteArray> &messages, const QString &topic)
{
    const QByteArray prefix = (topic + QLatin1Char(' ')).toUtf8();
    QList<QByteArray> payloads;
    for (const QByteArray &m : messages)
        if (m.startsWith(prefix))
            payloads << m.mid(prefix.size());
    return payloads;
}

inline QList<QByteArray> readings(const QList<QByteArray> &messages, const QString &prefix)
{
    return payloadsOf(messages, prefix + QStringLiteral("/reading"));
}

inline QList<QByteArray> printedLines(const QByteArray &printed)
{
    QList<QByteArray> lines = printed.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}
