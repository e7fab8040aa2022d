// SPDX-License-Identifier: GPL-3.0-or-later
// The window over a pseudo-terminal with the simulated instrument: START,
// rows at the period, STOP, RESET while recording, exports pausing a run.
#include "CommandIds.h"
#include "ControlIds.h"
#include "Frame.h"
#include "DisplayText.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

namespace {

using WindowRun = WindowFixture;

TEST_F(WindowRun, RowsArriveAtThePeriodWithTheFramesTextsAndStopEndsThem)
{
    // One row a second from an instrument sending six frames a second: the
    // fourth row comes three periods after the first frame at the earliest.
    wave().findChild<QComboBox *>(controlName(control_id::periodBox))->setCurrentIndex(1); // "1s"
    QElapsedTimer recording;
    recording.start();
    wave().startStop();
    ASSERT_EQ(caption(), QStringLiteral("STOP")) << dialogs.texts().join(',').toStdString();
    EXPECT_FALSE(portBox()->isEnabled());
    EXPECT_FALSE(button(control_id::firstPage)->isEnabled());
    EXPECT_TRUE(button(control_id::reset)->isEnabled());

    ASSERT_TRUE(waitForRows(4));
    EXPECT_GE(recording.elapsed(), 3000);
    wave().startStop();
    EXPECT_EQ(caption(), QStringLiteral("START"));
    EXPECT_TRUE(button(control_id::firstPage)->isEnabled());

    // Each row shows the frame stored for it, and every stored frame is one
    // the instrument sent.
    const SampleStore &store = app->frame().store();
    const int rows = list().itemCount();
    ASSERT_GE(int(store.sampleCount()), rows);
    const std::vector<SampleFrame> sentFrames = sim.sentFrames();
    for (int i = 0; i < rows; ++i) {
        const Reading r = decodeFrame(store.slot(std::uint32_t(i)));
        EXPECT_EQ(list().cellText(i, 0), QString::number(i));
        EXPECT_EQ(list().cellText(i, 2), valueText(r.mode, r.unit, r.value));
        EXPECT_EQ(list().cellText(i, 4), humidityText(r.humidity));
        EXPECT_EQ(list().cellText(i, 6), temperatureText(r.temperature, r.fahrenheit));
        SampleFrame wire = store.slot(std::uint32_t(i));
        wire.setU16(frame_field::temperature, std::uint16_t(wire.u16(frame_field::temperature) + 300));
        EXPECT_NE(std::find(sentFrames.begin(), sentFrames.end(), wire), sentFrames.end())
            << "row " << i;
    }
    EXPECT_EQ(wave().pages().pageCount, 1u);
    EXPECT_EQ(wave().pages().currentPage, 1u);

    // After STOP nothing more arrives, while the instrument sends on for
    // more than a period.
    const std::uint32_t length = store.length();
    const std::size_t sent = sim.sentCount();
    ASSERT_TRUE(runUntil([&] { return sim.sentCount() >= sent + 8; }, 5000));
    EXPECT_EQ(list().itemCount(), rows);
    EXPECT_EQ(store.length(), length);

    // A second run appends to the same list.
    wave().startStop();
    ASSERT_TRUE(waitForRows(rows + 1));
    wave().startStop();
    EXPECT_EQ(list().cellText(rows, 0), QString::number(rows));
}

TEST_F(WindowRun, ASilentInstrumentShowsStopAndAddsNoRows)
{
    sim.stop(); // the line stays, nothing comes
    wave().startStop();
    EXPECT_EQ(caption(), QStringLiteral("STOP"));
    runFor(700); // a row would come within a period
    EXPECT_EQ(list().itemCount(), 0);
    wave().startStop();
    EXPECT_EQ(caption(), QStringLiteral("START"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WindowRun, AHeldPortGivesOpenPortErrorAndStaysIdle)
{
    Acquisition other(app->frame().store());
    ASSERT_EQ(other.start(QString::fromStdString(sim.slavePath()), 500), Acquisition::StartResult::Started);
    wave().startStop();
    other.stop();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("open port error"));
    EXPECT_TRUE(idle());
    EXPECT_EQ(status(), QStringLiteral("Cannot open %1: in use by another program").arg(link.qpath()));
}

TEST_F(WindowRun, ResetWhileRecordingEmptiesTheStoreAndRecordingGoesOn)
{
    wave().startStop();
    ASSERT_TRUE(waitForRows(2));
    for (int i = 0; i < 5; ++i) {
        wave().onCommand(control_id::reset);
        // At most the one frame the reader may store right after.
        EXPECT_LE(app->frame().store().length(), 16u);
        EXPECT_EQ(list().itemCount(), 0);
        EXPECT_EQ(wave().pages().pageCount, 0u);
        runFor(150);
    }
    ASSERT_TRUE(waitForRows(2));
    EXPECT_EQ(list().cellText(0, 0), QStringLiteral("0"));
    EXPECT_EQ(caption(), QStringLiteral("STOP"));
    wave().startStop();
}

// A frame stored but not yet handed over, then RESET (after STOP, or while
// running) and START: the new recording starts with a frame sent after
// RESET, and holds as many rows as stored frames.
TEST_F(WindowRun, ResetDiscardsAFrameThatWaitsForItsRow)
{
    FrameFields old;
    old.humidity = 509;
    old.temperature = 246;
    old.reading = 538;
    FrameFields fresh;
    fresh.humidity = 436;
    fresh.temperature = 213;
    fresh.reading = 120;
    auto send = [&](const FrameFields &f) {
        const SampleFrame frame = wireFrame(f);
        return sim.writeRaw(frame.bytes.data(), frame.bytes.size());
    };
    sim.stop(); // only these frames come
    for (bool stopFirst : {true, false}) {
        wave().startStop();
        ASSERT_TRUE(send(old));
        // Stored and not handed over: no event is handled while waiting.
        for (int waited = 0; !wave().acquisition().pending() && waited < 3000; waited += 5)
            QThread::msleep(5);
        ASSERT_TRUE(wave().acquisition().pending()) << stopFirst;
        if (stopFirst)
            wave().startStop();
        wave().onCommand(control_id::reset);
        if (stopFirst)
            wave().startStop();
        ASSERT_TRUE(send(fresh));
        ASSERT_TRUE(waitForRows(1, 5000)) << stopFirst;
        runFor(700); // a stale second row would come within a period
        wave().startStop();
        EXPECT_EQ(list().itemCount(), 1) << stopFirst;
        EXPECT_EQ(app->frame().store().sampleCount(), 1u) << stopFirst;
        EXPECT_EQ(list().cellText(0, 4), humidityText(fresh.humidity)) << stopFirst;
        EXPECT_EQ(list().cellText(0, 6), temperatureText(fresh.temperature, false)) << stopFirst;
        wave().onCommand(control_id::reset);
    }
}

TEST_F(WindowRun, ExportsPauseARunAndResumeIt)
{
    QTemporaryDir dir;
    const int commands[] = {command_id::saveText, command_id::saveExcel, command_id::exportGraph};
    wave().startStop();
    ASSERT_TRUE(waitForRows(1));
    for (int command : commands) {
        bool runningDuringDialog = true;
        bool buttonsDuringDialog = true;
        struct Probe final : Dialogs {
            Dialogs &inner;
            std::function<void()> onAsk;
            Probe(Dialogs &i) : inner(i) {}
            void message(QWidget *o, const QString &c, const QString &t, MessageIcon icon) override
            {
                inner.message(o, c, t, icon);
            }
            QString savePath(QWidget *o, const QString &f, bool p) override
            {
                onAsk();
                return inner.savePath(o, f, p);
            }
        } probe(dialogs);
        probe.onAsk = [&] {
            runningDuringDialog = wave().isRunning();
            buttonsDuringDialog = button(control_id::startStop)->isEnabled() || button(control_id::reset)->isEnabled();
        };
        installDialogs(&probe);
        dialogs.paths.push_back(dir.filePath(QStringLiteral("out%1").arg(command)));
        app->onCommand(command);
        installDialogs(&dialogs);
        EXPECT_FALSE(runningDuringDialog) << command;
        EXPECT_FALSE(buttonsDuringDialog) << command;
        EXPECT_TRUE(wave().isRunning()) << command;
        EXPECT_EQ(caption(), QStringLiteral("STOP"));
        EXPECT_TRUE(button(control_id::startStop)->isEnabled());
        EXPECT_TRUE(button(control_id::reset)->isEnabled());
        EXPECT_EQ(wave().resumeAfterExport, 0u);
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out32771.txt"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out32772.xls"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out32773.bmp"))));

    // Stopped, after exports made while running: the exports leave it stopped.
    wave().startStop();
    for (int command : commands) {
        dialogs.paths.push_back(QString()); // cancelled
        app->onCommand(command);
        EXPECT_FALSE(wave().isRunning()) << command;
        EXPECT_EQ(caption(), QStringLiteral("START"));
        EXPECT_TRUE(button(control_id::startStop)->isEnabled());
    }
}

TEST_F(WindowRun, ClosingTheWindowWhileRecordingEndsCleanly)
{
    const int threadsBefore = procself::threadCount();
    wave().startStop();
    ASSERT_TRUE(waitForRows(1));
    EXPECT_EQ(procself::threadCount(), threadsBefore + 2); // the reader and the clock
    app->frame().close();
    app.reset(); // both threads end before the store goes
    EXPECT_EQ(procself::threadCount(), threadsBefore);
}

} // namespace
