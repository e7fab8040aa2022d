// SPDX-License-Identifier: GPL-3.0-or-later
// The window while its instrument's adapter is pulled out and plugged back
// in: the recording is kept, the controls stay as they were, the dead
// descriptor is let go, nothing spins, and STOP works throughout.
#include "CommandIds.h"
#include "FrameAssembler.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>

namespace {

using VanishingDevice = WindowFixture;

TEST_F(VanishingDevice, RecordingSurvivesThePortGoingAndGoesOnWhenItIsBack)
{
    const std::string firstPty = sim.slavePath();
    pressStartStop();
    ASSERT_EQ(caption(), QStringLiteral("STOP")) << dialogs.texts().join(',').toStdString();
    ASSERT_TRUE(waitForRows(3));
    // Ours and the simulator's own slave descriptor.
    EXPECT_EQ(procself::fdsOpenOn(firstPty), 2);

    const QStringList rowsBefore = rows();
    const std::vector<SampleFrame> framesBefore = storedFrames();
    pullOut();

    // Told in the first status pane; the dead descriptor is already closed
    // when the note arrives.
    ASSERT_TRUE(runUntil([&] { return status() == goneText(); }, 3000)) << status().toStdString();
    EXPECT_EQ(procself::fdsOpenOn(firstPty), 0);
    EXPECT_EQ(caption(), QStringLiteral("STOP"));
    EXPECT_TRUE(wave().isRunning());
    EXPECT_FALSE(portBox()->isEnabled());

    // Away for two seconds: the process sleeps (a reader spinning on the
    // dead line would take a whole core), reopen attempts fail quietly.
    const double cpuBefore = procself::cpuSeconds();
    QElapsedTimer away;
    away.start();
    runFor(2000);
    const double share = (procself::cpuSeconds() - cpuBefore) / (double(away.elapsed()) / 1000.0);
    EXPECT_GE(cpuBefore, 0.0);
    EXPECT_LT(share, 0.10) << "CPU share of one core while the device was away";
    EXPECT_EQ(status(), goneText());
    EXPECT_EQ(caption(), QStringLiteral("STOP"));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join(',').toStdString();

    // Every row and frame recorded before is still there (at most the one
    // frame stored just before the loss was handed over since).
    const QStringList rowsAway = rows();
    const std::vector<SampleFrame> framesAway = storedFrames();
    EXPECT_TRUE(keptAsPrefix(rowsBefore, rowsAway));
    EXPECT_TRUE(keptAsPrefix(framesBefore, framesAway));
    EXPECT_LE(rowsAway.size(), rowsBefore.size() + 1);

    // Plugged in again under the same name: reopened, configured and read
    // without the user doing anything.
    ASSERT_TRUE(plugIn());
    const std::string secondPty = sim.slavePath();
    ASSERT_TRUE(runUntil([&] { return status() == backText(); }, 4000)) << status().toStdString();
    EXPECT_EQ(procself::fdsOpenOn(secondPty), 2);
    const int rowsAtReturn = list().itemCount();
    const std::uint32_t framesAtReturn = store().sampleCount();
    ASSERT_TRUE(waitForRows(rowsAtReturn + 2));
    EXPECT_EQ(caption(), QStringLiteral("STOP"));
    EXPECT_TRUE(keptAsPrefix(rowsAway, rows()));

    // The new rows come from the new device, as it sent them.
    const std::vector<SampleFrame> sent = sim.sentFrames();
    const std::vector<SampleFrame> all = storedFrames();
    ASSERT_GT(all.size(), framesAtReturn);
    for (std::size_t i = framesAtReturn; i < all.size(); ++i) {
        EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&](SampleFrame f) {
            correctTemperature(f);
            return f == all[i];
        })) << "frame " << i;
    }

    pressStartStop();
    EXPECT_TRUE(idle());
    EXPECT_EQ(procself::fdsOpenOn(secondPty), 1); // the simulator's own
}

// STOP at each moment of a loss and a return: right after the device went
// (before the reader may have noticed), at the note, between reopen
// attempts, as the name comes back (the reader may be opening it), and at
// the note of its return. Each STOP returns at once and leaves the view
// idle, and nothing arrives after it: no row, no frame, no port note.
TEST_F(VanishingDevice, StopWorksAtEveryMomentOfALossAndAReturn)
{
    enum Moment { RightAfterLoss, AtGoneNote, BetweenReopenAttempts, AsTheNameReturns, AtBackNote };
    const char *names[] = {"right after the loss", "at the gone note", "between reopen attempts",
                           "as the name returns", "at the back note"};
    for (Moment moment : {RightAfterLoss, AtGoneNote, BetweenReopenAttempts, AsTheNameReturns, AtBackNote}) {
        SCOPED_TRACE(names[moment]);
        if (!sim.isRunning()) {
            ASSERT_TRUE(plugIn());
        }
        pressStartStop();
        ASSERT_EQ(caption(), QStringLiteral("STOP"));
        ASSERT_TRUE(waitForRows(list().itemCount() + 1));
        const QStringList rowsBefore = rows();

        pullOut();
        if (moment >= AtGoneNote) {
            ASSERT_TRUE(runUntil([&] { return status() == goneText(); }, 3000));
        }
        if (moment >= BetweenReopenAttempts)
            runFor(1250); // one attempt a second from the loss on
        if (moment >= AsTheNameReturns) {
            ASSERT_TRUE(plugIn());
        }
        if (moment == AtBackNote) {
            ASSERT_TRUE(runUntil([&] { return status() == backText(); }, 4000));
        }

        QElapsedTimer stopping;
        stopping.start();
        pressStartStop();
        // Not a benchmark: STOP ends both threads within 200 ms; one that
        // waited out a byte wait, a reopen or a long slice would fail this.
        EXPECT_LT(stopping.elapsed(), 200);
        EXPECT_TRUE(idle());
        const int ours = sim.isOpen() ? procself::fdsOpenOn(sim.slavePath()) : 0;
        EXPECT_EQ(ours, sim.isOpen() ? 1 : 0) << "descriptors left on the device";

        // The device is there (again) and sends for more than a period:
        // still nothing arrives.
        if (!sim.isRunning()) {
            ASSERT_TRUE(plugIn());
        }
        const QStringList rowsAtStop = rows();
        const std::uint32_t lengthAtStop = store().length();
        const QString statusAtStop = status();
        const std::size_t sentAtStop = sim.sentCount();
        ASSERT_TRUE(runUntil([&] { return sim.sentCount() >= sentAtStop + 4; }, 5000));
        EXPECT_EQ(rows(), rowsAtStop);
        EXPECT_EQ(store().length(), lengthAtStop);
        EXPECT_EQ(status(), statusAtStop);
        EXPECT_TRUE(keptAsPrefix(rowsBefore, rowsAtStop));
        EXPECT_TRUE(idle());
    }

    // And the next run records from the device as usual.
    const int n = list().itemCount();
    pressStartStop();
    EXPECT_TRUE(waitForRows(n + 2));
    pressStartStop();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join(',').toStdString();
}

// An export while the adapter is unplugged pauses the wait, not the run:
// afterwards it waits again, and records when the adapter is back.
TEST_F(VanishingDevice, ExportsWhileTheAdapterIsAwayGoBackToWaiting)
{
    QTemporaryDir dir;
    pressStartStop();
    ASSERT_TRUE(waitForRows(2));
    pullOut();
    ASSERT_TRUE(runUntil([&] { return status() == goneText(); }, 3000)) << status().toStdString();
    for (int command : {command_id::saveText, command_id::saveExcel, command_id::exportGraph}) {
        dialogs.paths.push_back(dir.filePath(QStringLiteral("away%1").arg(command)));
        app->onCommand(command);
        EXPECT_TRUE(wave().isRunning()) << command;
        EXPECT_TRUE(wave().acquisition().waitingForPort()) << command;
        EXPECT_EQ(caption(), QStringLiteral("STOP")) << command;
    }
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join(',').toStdString();
    const int n = list().itemCount();
    ASSERT_TRUE(plugIn());
    ASSERT_TRUE(runUntil([&] { return status() == backText(); }, 4000)) << status().toStdString();
    EXPECT_TRUE(waitForRows(n + 2));
}

// A port that opens and never sends is told in the first status pane.
TEST_F(VanishingDevice, ASilentPortIsToldInTheStatusBar)
{
    sim.stop(); // the line stays, nothing comes
    wave().session().noDataAfter = std::chrono::milliseconds(300);
    pressStartStop();
    const QString told =
        QStringLiteral("no data from %1 for 0 s: is the instrument on and sending?").arg(link.qpath());
    EXPECT_TRUE(runUntil([&] { return status() == told; }, 3000)) << status().toStdString();
    EXPECT_EQ(list().itemCount(), 0);
}

} // namespace
