// SPDX-License-Identifier: GPL-3.0-or-later
// End to end over the simulated instrument's pseudo-terminal: the same open,
// configure and read path as with a USB adapter.
#include "Acquisition.h"
#include "DeviceLink.h"
#include "EventLoop.h"
#include "FrameAssembler.h"
#include "Frames.h"
#include "QStringPrinter.h"
#include "SampleStore.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// Blocks this thread without handling any event.
void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool waitPendingWithoutEvents(const Acquisition &acq, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (acq.pending())
            return true;
        sleepMs(5);
    }
    return acq.pending();
}

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

struct Handoff {
    std::uint32_t samplesInStore;
    bool pendingSeen;
    SampleFrame newest;
    qint64 atMs;
};

class AcquisitionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(sim.open(&why)) << why;
        Simulator::Settings s;
        s.framesPerSecond = 4;
        sim.setSettings(s);
        elapsed.start();
        QObject::connect(&acq, &Acquisition::portStatus, [this](const QString &t) { notes << t; });
    }

    // The window's part of the hand-off: look at the newest frame, then let
    // the reader store the next one.
    void handOffOnEachSample()
    {
        QObject::connect(&acq, &Acquisition::sampleReady, [this] {
            handoffs.push_back({store.sampleCount(), acq.pending(), store.newest(), elapsed.elapsed()});
            acq.clearPending();
        });
    }

    int notesContaining(const char *word) const
    {
        int n = 0;
        for (const QString &t : notes)
            n += t.contains(QLatin1String(word)) ? 1 : 0;
        return n;
    }

    SampleStore store;
    Simulator sim;
    Acquisition acq{store};
    QElapsedTimer elapsed;
    std::vector<Handoff> handoffs;
    QStringList notes;
};

} // namespace

TEST_F(AcquisitionRun, SamplesArriveOncePerPeriodAndStopEndsEverything)
{
    handOffOnEachSample();
    ASSERT_TRUE(sim.start());
    QString why;
    ASSERT_EQ(acq.start(qs(sim.slavePath()), 300, &why), Acquisition::StartResult::Started) << why.toStdString();
    EXPECT_TRUE(acq.isOpen());

    ASSERT_TRUE(runUntil([&] { return handoffs.size() >= 4; }, 10000));
    acq.stop();
    EXPECT_FALSE(acq.isOpen());

    // One stored frame per hand-off, seen as the newest, with `pending` set.
    for (std::size_t i = 0; i < handoffs.size(); ++i) {
        EXPECT_TRUE(handoffs[i].pendingSeen) << i;
        EXPECT_EQ(handoffs[i].samplesInStore, i + 1) << i;
        EXPECT_EQ(bytesOf(handoffs[i].newest), bytesOf(store.slot(static_cast<std::uint32_t>(i)))) << i;
    }
    // The clock sleeps a whole period after arming: no two hand-offs close together.
    for (std::size_t i = 1; i < handoffs.size(); ++i)
        EXPECT_GE(handoffs[i].atMs - handoffs[i - 1].atMs, 100) << i;

    // What was stored is what the instrument sent, temperature corrected.
    const auto stored = storedFrames(store);
    ASSERT_GE(stored.size(), 4u);
    EXPECT_EQ(sentInOrder(stored, sim.sentFrames()), stored.size());
    for (const SampleFrame &f : stored) {
        EXPECT_EQ(f.bytes[0], 0xEB);
        EXPECT_EQ(f.bytes[1], 0xA0);
        const int tenths = f.s16(frame_field::temperature);
        EXPECT_GT(tenths, 100); // the simulator's room is at 21-25 °C
        EXPECT_LT(tenths, 300);
    }

    // After stop: nothing stored, nothing delivered, although frames keep coming.
    const std::uint32_t length = store.length();
    const std::size_t count = handoffs.size();
    const std::size_t sentBefore = sim.sentCount();
    ASSERT_TRUE(runUntil([&] { return sim.sentCount() >= sentBefore + 3; }, 5000)); // more than two periods
    EXPECT_EQ(store.length(), length);
    EXPECT_EQ(handoffs.size(), count);
}

TEST_F(AcquisitionRun, SilentInstrumentStoresNothingAndStopsAtOnce)
{
    handOffOnEachSample();
    ASSERT_EQ(acq.start(qs(sim.slavePath()), 500), Acquisition::StartResult::Started);
    runFor(700); // more than a period
    EXPECT_TRUE(acq.isOpen());
    EXPECT_EQ(store.length(), 0u);
    EXPECT_FALSE(acq.pending());
    EXPECT_TRUE(handoffs.empty());

    // The reader sits in its 8 s wait for a byte; stop must not wait it out
    // (it ends both threads within 200 ms).
    QElapsedTimer t;
    t.start();
    acq.stop();
    EXPECT_LT(t.elapsed(), 200);
    EXPECT_FALSE(acq.isOpen());
}

TEST_F(AcquisitionRun, HandoffPostedOrArmedBeforeStopIsNeverDelivered)
{
    std::vector<std::uint32_t> samplesAtDelivery;
    QObject::connect(&acq, &Acquisition::sampleReady, [&] { samplesAtDelivery.push_back(store.sampleCount()); });
    ASSERT_TRUE(sim.start());
    const QString path = qs(sim.slavePath());

    // Armed (the clock's request taken on this thread, so the 5 ms timer is
    // started but cannot have fired), or asked and not yet taken.
    for (bool taken : {true, false}) {
        ASSERT_EQ(acq.start(path, 300), Acquisition::StartResult::Started);
        ASSERT_TRUE(waitPendingWithoutEvents(acq, 3000));
        sleepMs(100); // the clock sees `pending` within 10 ms and asks
        for (int pass = 0; taken && pass < 100 && !acq.handoffArmed(); ++pass)
            QCoreApplication::processEvents();
        ASSERT_EQ(acq.handoffArmed(), taken);
        acq.stop();
        runFor(400);
        EXPECT_TRUE(samplesAtDelivery.empty()) << taken;
        EXPECT_TRUE(acq.pending());
    }

    // The frame still waiting belongs to the old run: the next run's first
    // hand-off is a frame stored after its START.
    const std::uint32_t stale = store.sampleCount();
    ASSERT_EQ(acq.start(path, 300), Acquisition::StartResult::Started);
    EXPECT_FALSE(acq.pending());
    EXPECT_TRUE(runUntil([&] { return !samplesAtDelivery.empty(); }, 3000));
    acq.stop();
    ASSERT_EQ(samplesAtDelivery.size(), 1u);
    EXPECT_EQ(samplesAtDelivery[0], stale + 1);
}

TEST_F(AcquisitionRun, StartFailuresLeaveNothingOpen)
{
    QString why;
    EXPECT_EQ(acq.start("/dev/breezon-absent", 500, &why), Acquisition::StartResult::OpenFailed);
    EXPECT_EQ(why, "no such device");
    EXPECT_FALSE(acq.isOpen());
    // A port another program holds: SerialPortTest, WindowRunTest.
    EXPECT_EQ(acq.start(qs(sim.slavePath()), 500, &why), Acquisition::StartResult::Started);
}

TEST_F(AcquisitionRun, VanishingDeviceIsReportedOnceAndTheRecordingKept)
{
    DeviceLink link;
    handOffOnEachSample();
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(link.pointAt(sim.slavePath()));
    const QString path = link.qpath();
    ASSERT_EQ(acq.start(path, 300), Acquisition::StartResult::Started);
    ASSERT_TRUE(runUntil([&] { return handoffs.size() >= 2; }, 8000));
    runFor(50);
    const auto before = storedFrames(store);

    sim.vanish();
    link.remove();
    ASSERT_TRUE(runUntil([&] { return notesContaining("is gone") > 0; }, 3000));
    EXPECT_EQ(notes.first(), QStringLiteral("port %1 is gone; waiting for it to come back").arg(path));
    runFor(1500); // several reopen attempts fail meanwhile
    EXPECT_EQ(notesContaining("is gone"), 1);
    EXPECT_EQ(notesContaining("is back"), 0) << notes.join(" | ").toStdString();
    EXPECT_TRUE(acq.isOpen());

    // Nothing that was recorded is lost.
    const auto after = storedFrames(store);
    ASSERT_GE(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(bytesOf(after[i]), bytesOf(before[i])) << i;
    acq.stop();
    EXPECT_FALSE(acq.isOpen());

    // A run that ended while its device was away leaves nothing behind: the
    // next run's loss is reported as such.
    ASSERT_TRUE(sim.open());
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(link.pointAt(sim.slavePath()));
    const std::size_t handed = handoffs.size();
    ASSERT_EQ(acq.start(path, 300), Acquisition::StartResult::Started);
    ASSERT_TRUE(runUntil([&] { return handoffs.size() > handed; }, 8000));
    sim.vanish();
    link.remove();
    ASSERT_TRUE(runUntil([&] { return notes.size() >= 2; }, 3000));
    EXPECT_EQ(notesContaining("is gone"), 2) << notes.join(" | ").toStdString();
    EXPECT_EQ(notesContaining("is back"), 0);
    acq.stop();
}
