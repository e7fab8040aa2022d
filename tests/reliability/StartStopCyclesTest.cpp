// SPDX-License-Identifier: GPL-3.0-or-later
// Many START/STOP cycles while frames flow leave no descriptor and no thread
// behind: counted in /proc/self before and after.
#include "Acquisition.h"
#include "EventLoop.h"
#include "ProcSelf.h"
#include "SampleStore.h"
#include "Simulator.h"
#include "WindowFixture.h"

#include <gtest/gtest.h>

namespace {

TEST(StartStopCycles, FiveHundredRunsWithFramesFlowingLeaveNothingBehind)
{
    SampleStore store;
    Simulator sim;
    std::string why;
    ASSERT_TRUE(sim.open(&why)) << why;
    Simulator::Settings fast;
    fast.framesPerSecond = 20; // more than the reader takes: the line is never idle
    sim.setSettings(fast);
    ASSERT_TRUE(sim.start());
    const QString path = QString::fromStdString(sim.slavePath());

    Acquisition acq(store);
    int handoffs = 0;
    QObject::connect(&acq, &Acquisition::sampleReady, [&] {
        ++handoffs;
        acq.clearPending();
    });

    // One whole run first, so whatever Qt creates on first use exists
    // before counting.
    ASSERT_EQ(acq.start(path, 0), Acquisition::StartResult::Started);
    ASSERT_TRUE(runUntil([&] { return handoffs > 0; }, 5000));
    acq.stop();
    const int fds = procself::fdCount();
    const int threads = procself::threadCount();

    // A run holds the port and its stop eventfd, the reader and the clock.
    ASSERT_EQ(acq.start(path, 0), Acquisition::StartResult::Started);
    EXPECT_EQ(procself::fdCount(), fds + 2);
    EXPECT_EQ(procself::threadCount(), threads + 2);
    acq.stop();

    const int before = handoffs;
    int waited = 0;
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(acq.start(path, 0), Acquisition::StartResult::Started) << "cycle " << i;
        if (i % 50 == 49) {
            // Now and then a run long enough for a frame, so runs end with
            // a hand-off just done, pending, or armed.
            const int n = handoffs;
            waited += runUntil([&] { return handoffs > n; }, 3000) ? 1 : 0;
            runFor(i % 3 * 7);
        } else {
            runFor(i % 7);
        }
        acq.stop();
        ASSERT_FALSE(acq.isOpen()) << "cycle " << i;
    }
    EXPECT_EQ(waited, 10);
    EXPECT_GE(handoffs - before, 10);

    EXPECT_EQ(procself::fdCount(), fds);
    EXPECT_EQ(procself::threadCount(), threads);

    // Still a working acquisition.
    const int n = handoffs;
    ASSERT_EQ(acq.start(path, 0), Acquisition::StartResult::Started);
    EXPECT_TRUE(runUntil([&] { return handoffs > n; }, 5000));
    acq.stop();
}

// The same through the window's button, which pauses 100 ms at each START.
using WindowCycles = WindowFixture;

TEST_F(WindowCycles, StartStopThroughTheButtonLeavesNothingBehind)
{
    pressStartStop();
    ASSERT_TRUE(waitForRows(1));
    pressStartStop();
    const int fds = procself::fdCount();
    const int threads = procself::threadCount();

    for (int i = 0; i < 6; ++i) {
        pressStartStop();
        ASSERT_EQ(caption(), QStringLiteral("STOP")) << i;
        if (i % 2 == 0)
            ASSERT_TRUE(waitForRows(list().itemCount() + 1)) << i;
        else
            runFor(20 * i);
        pressStartStop();
        ASSERT_TRUE(idle()) << i;
    }
    EXPECT_EQ(procself::fdCount(), fds);
    EXPECT_EQ(procself::threadCount(), threads);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join(',').toStdString();
}

} // namespace
