// SPDX-License-Identifier: GPL-3.0-or-later
// A long run over a bad line through the real reader (one byte per 10 ms):
// stray bytes, broken sync pairs and frames split across writes. What is
// stored is exactly what the assembly rules accept from what was sent.
#include "Acquisition.h"
#include "EventLoop.h"
#include "FrameAssembler.h"
#include "Frames.h"
#include "SampleStore.h"
#include "Simulator.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string hex(const SampleFrame &f)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : f.bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
        s += ' ';
    }
    return s;
}

// The instrument's settings change through the run, so frames carry every
// kind of status byte, among them 0xEB as data (byte 2): a reader that took
// any 0xEB for the start of a frame would lose those frames.
std::vector<Simulator::Settings> phases()
{
    std::vector<Simulator::Settings> out;
    Simulator::Settings s;
    s.framesPerSecond = 5; // with the trouble, a little less than the reader takes in
    out.push_back(s); // wind speed in m/s

    Simulator::Settings syncAsData = s; // status A = 0xEB
    syncAsData.quantity = static_cast<FrameFields::Quantity>(3);
    syncAsData.fahrenheit = true;
    syncAsData.derived = static_cast<FrameFields::Derived>(7);
    syncAsData.multiplier = 100;
    out.push_back(syncAsData);

    Simulator::Settings flow = s;
    flow.quantity = FrameFields::Quantity::AirFlow;
    flow.unit = 2;
    flow.areaInFeet = true;
    flow.area = 9999;
    flow.multiplier = 10;
    flow.hold = FrameFields::Hold::Max;
    flow.derived = FrameFields::Derived::DewPoint;
    out.push_back(flow);

    Simulator::Settings neither = s;
    neither.quantity = FrameFields::Quantity::Neither;
    neither.unit = 7;
    neither.hold = FrameFields::Hold::Min;
    neither.derived = FrameFields::Derived::WetBulb;
    out.push_back(neither);

    out.push_back(syncAsData);
    return out;
}

TEST(LineGarbage, StoredFramesAreTheSentFramesThatAssemblyAccepts)
{
    SampleStore store;
    Simulator sim;
    Acquisition acq(store);
    std::string why;
    ASSERT_TRUE(sim.open(&why)) << why;
    sim.setDisturbances({true, true, true});
    sim.setSettings(phases().front());

    // The window's hand-off, as fast as the clock allows: nearly every
    // frame read is stored.
    std::vector<SampleFrame> handed;
    QObject::connect(&acq, &Acquisition::sampleReady, [&] {
        handed.push_back(store.newest());
        acq.clearPending();
    });

    // The port is open (and flushed) before the first byte is sent, so the
    // stream is read from its beginning.
    QString error;
    ASSERT_EQ(acq.start(QString::fromStdString(sim.slavePath()), 0, &error), Acquisition::StartResult::Started)
        << error.toStdString();
    ASSERT_TRUE(sim.start());
    for (const Simulator::Settings &s : phases()) {
        sim.setSettings(s);
        const std::size_t until = sim.sentCount() + 8;
        ASSERT_TRUE(runUntil([&] { return sim.sentCount() >= until; }, 10000));
    }
    sim.stop();

    // Let the reader take in what still waits in the terminal: done when the
    // last frame sent is stored, or (should a pending hand-off have cost it)
    // when nothing new has come for two seconds (about 200 bytes' time).
    SampleFrame last = sim.sentFrames().back();
    correctTemperature(last);
    QElapsedTimer quiet;
    quiet.start();
    std::size_t seen = handed.size();
    ASSERT_TRUE(runUntil(
        [&] {
            if (handed.size() != seen) {
                seen = handed.size();
                quiet.restart();
            }
            return (seen > 0 && handed.back().bytes == last.bytes) || quiet.elapsed() > 2000;
        },
        20000));
    acq.stop();

    const std::vector<SampleFrame> sent = sim.sentFrames();
    const std::vector<SampleFrame> stored = storedFrames(store);

    // Each stored frame is the next-or-later sent frame, corrected.
    const std::size_t inOrder = sentInOrder(stored, sent);
    ASSERT_EQ(inOrder, stored.size()) << "stored frame " << inOrder << " was never sent, or not in this order: "
                                      << hex(stored[inOrder]);

    // Each hand-off saw the frame just stored.
    ASSERT_EQ(handed.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        EXPECT_EQ(handed[i].bytes, stored[i].bytes) << i;

    // Nothing sent complete was thrown away by the assembly: a frame is
    // lost only while a hand-off is pending, which takes a few ms against
    // the 160 ms a frame takes to read. Frames with 0xEB inside count too.
    ASSERT_GE(sent.size(), 40u);
    EXPECT_GE(stored.size() * 10, sent.size() * 9) << stored.size() << " of " << sent.size();
    std::size_t syncInside = 0;
    for (const SampleFrame &f : stored)
        syncInside += f.bytes[frame_field::statusA] == SampleFrame::kSync1 ? 1 : 0;
    EXPECT_GE(syncInside, 12u);
}

} // namespace
