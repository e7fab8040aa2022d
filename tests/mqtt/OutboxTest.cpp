// SPDX-License-Identifier: GPL-3.0-or-later
// The outbox: rows a broker has not taken wait in the run's recording, across
// the end of a run and a restart, and go out in order when it is back; a
// recording sent again to a destination of its own goes whole.
#include "Broker.h"
#include "RecorderProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

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

int run(const QStringList &args, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(BREEZON_RECORD_PATH), args);
    p.waitForFinished(60000);
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(Outbox, RowsTheBrokerMissedGoOutAfterARestartInOrder)
{
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("duct.breezon"));
    Broker broker; // not started: away for the whole first run
    auto demo = [&](const char *rows, const char *wait) {
        return QStringList{"--demo",    "--period",  "0.5",    "--rows", rows, "--breezon", recording,
                           "--mqtt",    broker.url(QStringLiteral("test/outbox")), "--mqtt-wait", wait};
    };
    QByteArray err;
    EXPECT_EQ(run(demo("4", "0"), &err), 0) << err.toStdString(); // nothing lost: they wait
    EXPECT_TRUE(err.contains("4 rows wait in the outbox")) << err.toStdString();

    ASSERT_TRUE(broker.start());
    Subscriber sub(broker, QStringLiteral("test/outbox/reading"));
    EXPECT_EQ(run(demo("3", "10"), &err), 0) << err.toStdString();
    EXPECT_EQ(seqs(sub.until("\"seq\":6,")), (QList<int>{0, 1, 2, 3, 4, 5, 6}));

    // Sent again, whole, to a destination that has none of it.
    Subscriber again(broker, QStringLiteral("test/again/reading"));
    EXPECT_EQ(run({"--from", recording, "--mqtt", broker.url(QStringLiteral("test/again"))}, &err), 0)
        << err.toStdString();
    EXPECT_EQ(seqs(again.until("\"seq\":6,")), (QList<int>{0, 1, 2, 3, 4, 5, 6}));
}

} // namespace
