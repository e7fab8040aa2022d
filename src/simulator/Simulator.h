// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated instrument: real frames written into a pseudo-terminal, so the
// port code runs exactly as it does with a USB adapter. Used by --demo and by
// the tests. Plain C++ and POSIX; Qt only for the flow tables it shares with
// the display (its writer thread makes no Qt call).

#include "Frame.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Simulator {
public:
    // What the instrument is set to; the readings themselves drift slowly.
    struct Settings {
        double framesPerSecond = 2.0;
        FrameFields::Quantity quantity = FrameFields::Quantity::WindSpeed;
        std::uint8_t unit = 0;
        int multiplier = 1;
        FrameFields::Hold hold = FrameFields::Hold::Current;
        bool fahrenheit = false;
        FrameFields::Derived derived = FrameFields::Derived::None;
        bool areaInFeet = false;
        unsigned area = 250; // a duct of 0.250 m² (or ft²)
    };

    // Line trouble to inject between and inside frames. None of it can make
    // the frame assembly accept a frame that was not sent: noise never holds
    // the first sync byte, and a broken pair is the first sync byte followed
    // by something other than the second.
    struct Disturbances {
        bool noise = false;       // 1-6 stray bytes before some frames
        bool brokenSync = false;  // 0xEB 0x00, 0xEB 0xEB 0xA0 or 0xEB x before some frames
        bool splitWrites = false; // some frames in two writes with a short gap
    };

    Simulator();
    ~Simulator(); // stops and closes everything
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // A new pseudo-terminal pair; an old one is closed first (writer
    // stopped). The slave side is raw and one slave descriptor stays open
    // here, so writes never meet a hung-up terminal.
    bool open(std::string *whyNot = nullptr);
    bool isOpen() const { return master_ >= 0; }
    // The device path a reader opens, e.g. "/dev/pts/3"; empty when closed.
    std::string slavePath() const { return slavePath_; }

    // Starts or stops the writer thread. start() needs an open pty.
    bool start();
    void stop();
    bool isRunning() const { return writer_.joinable(); }

    // Take effect from the next frame on.
    void setSettings(const Settings &settings);
    void setDisturbances(const Disturbances &disturbances);

    // The device goes away: the writer stops and both ends are closed, so a
    // reader sees a hang-up. open() and start() bring up a new one.
    void vanish();

    // Writes bytes as they are (waiting while the terminal is full). False
    // when the pty is closed or the write failed.
    bool writeRaw(const std::uint8_t *data, std::size_t size);

    // Every frame written out complete, in order, as sent (uncorrected).
    std::vector<SampleFrame> sentFrames() const;
    std::size_t sentCount() const;
    void clearRecord();

private:
    enum class WriteResult { Done, Dropped, Aborted };
    WriteResult writeChunk(const std::uint8_t *data, std::size_t size, bool mayDrop);
    bool waitWritable();
    bool sleepFor(double seconds); // false when asked to stop
    void run();
    void closeAll();

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;

    mutable std::mutex mutex_; // settings, disturbances, record
    Settings settings_;
    Disturbances disturbances_;
    std::vector<SampleFrame> sent_;

    std::mutex writeMutex_; // one writer of the master at a time
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    std::atomic<bool> stopping_{false};
    std::thread writer_;
};
