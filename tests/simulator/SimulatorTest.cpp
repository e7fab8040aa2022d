// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameAssembler.h"
#include "Frames.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Reads the pty slave directly, byte by byte through the assembly, with no
// 10 ms pacing. `stopAfter` frames, or until `idleMs` pass without a byte.
struct DirectReader {
    explicit DirectReader(const std::string &path)
        : fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~DirectReader()
    {
        if (fd >= 0)
            ::close(fd);
    }

    void read(std::size_t stopAfter, int idleMs)
    {
        while (frames.size() < stopAfter) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, idleMs) <= 0 || !(p.revents & POLLIN)) {
                hungUp = (p.revents & (POLLHUP | POLLERR)) != 0;
                return;
            }
            std::uint8_t chunk[256];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0) {
                hungUp = n == 0 || errno == EIO;
                return;
            }
            bytes += static_cast<std::size_t>(n);
            for (ssize_t i = 0; i < n; ++i) {
                if (assembler.push(chunk[i]))
                    frames.push_back(assembler.frame());
            }
        }
    }

    int fd;
    FrameAssembler assembler;
    std::vector<SampleFrame> frames;
    std::size_t bytes = 0;
    bool hungUp = false;
};

} // namespace

TEST(WireFrame, EveryFieldLandsWhereTheInstrumentPutsIt)
{
    FrameFields f;
    f.quantity = FrameFields::Quantity::AirFlow;
    f.fahrenheit = true;
    f.derived = FrameFields::Derived::DewPoint;
    f.multiplier = 100;
    f.unit = 3;
    f.hold = FrameFields::Hold::Max;
    f.humidity = 456;
    f.temperature = 235;
    f.reading = 1234;
    f.speed = 250;
    f.spare = 7;
    f.area = 1234;
    EXPECT_EQ(bytesOf(wireFrame(f)),
              (std::vector<std::uint8_t>{0xEB, 0xA0, 0x2A, 0x8D, 0x01, 0xC8, 0x02, 0x17, 0x04,
                                         0xD2, 0x00, 0xFA, 0x00, 0x07, 0x12, 0x34}));
    // The store keeps tenths of a degree.
    EXPECT_EQ(storedFrame(f).u16(frame_field::temperature), 235u);

    FrameFields g;
    g.quantity = FrameFields::Quantity::Neither;
    g.areaInFeet = true;
    g.derived = FrameFields::Derived::WetBulb;
    g.multiplier = 10;
    g.unit = 7;
    g.hold = FrameFields::Hold::Min;
    g.temperature = -125;
    g.area = 50;
    const SampleFrame w = wireFrame(g);
    EXPECT_EQ(w.bytes[2], 0x51);
    EXPECT_EQ(w.bytes[3], 0x5E);
    EXPECT_EQ(w.u16(frame_field::temperature), 175u);
    EXPECT_EQ(w.u16(frame_field::area), 0x0050u);
    EXPECT_EQ(storedFrame(g).bytes[6], 0xFF);
    EXPECT_EQ(storedFrame(g).bytes[7], 0x83);

    g.multiplier = 1;
    g.temperature = -300;
    EXPECT_EQ(wireFrame(g).bytes[3] & 0xC0, 0);
    EXPECT_EQ(wireFrame(g).u16(frame_field::temperature), 0u);
    EXPECT_EQ(packBcd(9999), 0x9999);
    EXPECT_EQ(packBcd(305), 0x0305);
}

TEST(SimulatedInstrument, FramesParseBackByteByByte)
{
    Simulator sim;
    std::string why;
    ASSERT_TRUE(sim.open(&why)) << why;
    Simulator::Settings s;
    s.framesPerSecond = 100;
    s.quantity = FrameFields::Quantity::AirFlow;
    s.unit = 2;
    s.hold = FrameFields::Hold::Min;
    s.fahrenheit = true;
    s.derived = FrameFields::Derived::WetBulb;
    s.areaInFeet = true;
    s.area = 1500;
    sim.setSettings(s);

    DirectReader reader(sim.slavePath());
    ASSERT_GE(reader.fd, 0);
    ASSERT_TRUE(sim.start());
    reader.read(20, 2000);
    ASSERT_EQ(reader.frames.size(), 20u);

    // Now wind speed in m/s, where the reading is the speed itself.
    s.quantity = FrameFields::Quantity::WindSpeed;
    s.unit = 0;
    s.hold = FrameFields::Hold::Current;
    s.fahrenheit = false;
    s.derived = FrameFields::Derived::None;
    s.areaInFeet = false;
    sim.setSettings(s);
    reader.read(60, 2000);
    sim.stop();
    reader.read(SIZE_MAX, 200);

    const auto sent = sim.sentFrames();
    ASSERT_EQ(reader.frames.size(), sent.size());
    ASSERT_GE(sent.size(), 60u);
    int flow = 0, wind = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const SampleFrame &f = reader.frames[i];
        ASSERT_EQ(bytesOf(f), bytesOf(sent[i])) << i;
        const int celsiusTenths = f.u16(frame_field::temperature) - 300;
        EXPECT_GE(celsiusTenths, 150);
        EXPECT_LE(celsiusTenths, 300);
        EXPECT_LE(f.u16(frame_field::humidity), 1000);
        if (f.bytes[2] == 0x5A) { // flow code 2, °F, ft², wet bulb
            ++flow;
            EXPECT_EQ(f.bytes[3], 0x0A); // unit 2, MIN
            EXPECT_EQ(f.u16(frame_field::area), 0x1500u);
            EXPECT_GT(f.u16(frame_field::reading), 0u);
        } else {
            ++wind;
            EXPECT_EQ(f.bytes[2], 0x00);
            EXPECT_EQ(f.bytes[3], 0x00);
            EXPECT_EQ(f.u16(frame_field::reading), f.u16(frame_field::speed));
            EXPECT_EQ(f.u16(frame_field::area), 0x1500u);
        }
    }
    EXPECT_GE(flow, 20);
    EXPECT_GE(wind, 20);
    // The readings drift rather than stand still.
    EXPECT_NE(reader.frames.front().u16(frame_field::speed), reader.frames.back().u16(frame_field::speed));
}

TEST(SimulatedInstrument, DisturbedLineYieldsExactlyTheFramesSent)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    Simulator::Settings s;
    s.framesPerSecond = 600;
    sim.setSettings(s);
    sim.setDisturbances({true, true, true});

    DirectReader reader(sim.slavePath());
    ASSERT_GE(reader.fd, 0);
    ASSERT_TRUE(sim.start());
    reader.read(400, 2000);
    sim.stop();
    reader.read(SIZE_MAX, 200);

    const auto sent = sim.sentFrames();
    ASSERT_GE(sent.size(), 400u);
    ASSERT_EQ(reader.frames.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(bytesOf(reader.frames[i]), bytesOf(sent[i])) << i;
    // The trouble was really on the line.
    EXPECT_GT(reader.bytes, sent.size() * SampleFrame::kSize + 200);
}

TEST(SimulatedInstrument, FullTerminalLosesWholeFramesOnly)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    Simulator::Settings s;
    s.framesPerSecond = 20000;
    sim.setSettings(s);
    ASSERT_TRUE(sim.start());
    // Nobody reads: the terminal fills up (no frame goes out whole for
    // 200 ms), and the writer must not block stop.
    std::size_t whole = 0;
    for (int quietMs = 0, waitedMs = 0; quietMs < 200 && waitedMs < 10000; quietMs += 10, waitedMs += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (sim.sentCount() != whole) {
            whole = sim.sentCount();
            quietMs = 0;
        }
    }
    sim.stop();

    DirectReader reader(sim.slavePath());
    ASSERT_GE(reader.fd, 0);
    reader.read(SIZE_MAX, 200);
    const auto sent = sim.sentFrames();
    ASSERT_GT(sent.size(), 100u);
    ASSERT_EQ(reader.frames.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(bytesOf(reader.frames[i]), bytesOf(sent[i])) << i;
}

TEST(SimulatedInstrument, VanishHangsUpAndANewTerminalWorks)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    const std::string first = sim.slavePath();
    DirectReader reader(first);
    ASSERT_GE(reader.fd, 0);

    sim.vanish();
    EXPECT_FALSE(sim.isOpen());
    EXPECT_TRUE(sim.slavePath().empty());
    EXPECT_FALSE(sim.start());
    reader.read(1, 1000);
    EXPECT_TRUE(reader.hungUp);

    ASSERT_TRUE(sim.open());
    DirectReader again(sim.slavePath());
    ASSERT_GE(again.fd, 0);
    const SampleFrame f = wireFrame(FrameFields{});
    ASSERT_TRUE(sim.writeRaw(f.bytes.data(), f.bytes.size()));
    again.read(1, 1000);
    ASSERT_EQ(again.frames.size(), 1u);
    EXPECT_EQ(bytesOf(again.frames[0]), bytesOf(f));
}
