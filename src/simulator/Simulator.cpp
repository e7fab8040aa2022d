// SPDX-License-Identifier: GPL-3.0-or-later
#include "Simulator.h"

#include "DisplayText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The displayed reading, in steps of the unit, for a given air speed.
std::uint16_t readingFor(const Simulator::Settings &s, double speedHundredths)
{
    const double metresPerSecond = speedHundredths / 100.0;
    double steps = 0;
    switch (s.quantity) {
    case FrameFields::Quantity::Neither:
        steps = 0;
        break;
    case FrameFields::Quantity::AirFlow:
        // The flow through the area, as the program works it out, in steps of the unit.
        if (s.unit < kFlowUnits)
            steps = metresPerSecond * (s.area / 1000.0) * airFlowFactor(s.unit, s.areaInFeet) * flowDivisors[s.unit];
        else
            steps = speedHundredths;
        break;
    default: {
        // m/s, km/h, MPH, ft/m (whole steps), ft/s, knots; hundredths except ft/m.
        static constexpr double stepsPerMetrePerSecond[6] = {100, 360, 223.69363, 196.8503937,
                                                             328.08399, 194.38445};
        steps = s.unit < 6 ? metresPerSecond * stepsPerMetrePerSecond[s.unit] : speedHundredths;
        break;
    }
    }
    const int multiplier = (s.multiplier == 100 || s.multiplier == 10) ? s.multiplier : 1;
    return static_cast<std::uint16_t>(std::clamp(std::lround(steps / multiplier), 0L, 65535L));
}

} // namespace

Simulator::Simulator() = default;

Simulator::~Simulator()
{
    closeAll();
}

bool Simulator::open(std::string *whyNot)
{
    closeAll();
    auto fail = [&](const char *what) {
        if (whyNot)
            *whyNot = std::string(what) + ": " + std::strerror(errno);
        closeAll();
        return false;
    };

    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    if (grantpt(master_) != 0)
        return fail("grantpt");
    if (unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    slavePath_ = name;

    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open slave");
    // Raw: no echo back into the master, no newline translation of data bytes.
    termios t{};
    if (tcgetattr(slave_, &t) != 0)
        return fail("tcgetattr");
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (tcsetattr(slave_, TCSANOW, &t) != 0)
        return fail("tcsetattr");

    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    return true;
}

void Simulator::closeAll()
{
    stop();
    std::lock_guard lock(writeMutex_);
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    slavePath_.clear();
}

void Simulator::vanish()
{
    closeAll();
}

bool Simulator::start()
{
    if (master_ < 0)
        return false;
    if (writer_.joinable())
        return true;
    stopping_.store(false);
    writer_ = std::thread([this] { run(); });
    return true;
}

void Simulator::stop()
{
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(stopMutex_);
        stopping_.store(true);
    }
    stopCv_.notify_all();
    writer_.join();
}

void Simulator::setSettings(const Settings &settings)
{
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void Simulator::setDisturbances(const Disturbances &disturbances)
{
    std::lock_guard lock(mutex_);
    disturbances_ = disturbances;
}

std::vector<SampleFrame> Simulator::sentFrames() const
{
    std::lock_guard lock(mutex_);
    return sent_;
}

std::size_t Simulator::sentCount() const
{
    std::lock_guard lock(mutex_);
    return sent_.size();
}

void Simulator::clearRecord()
{
    std::lock_guard lock(mutex_);
    sent_.clear();
}

bool Simulator::sleepFor(double seconds)
{
    std::unique_lock lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::duration<double>(seconds),
                             [this] { return stopping_.load(); });
}

bool Simulator::waitWritable()
{
    // Short slices, so stop() is never kept waiting by a full terminal.
    while (!stopping_.load()) {
        pollfd p{master_, POLLOUT, 0};
        const int r = poll(&p, 1, 20);
        if (r > 0)
            return (p.revents & POLLOUT) != 0;
        if (r < 0 && errno != EINTR)
            return false;
    }
    return false;
}

Simulator::WriteResult Simulator::writeChunk(const std::uint8_t *data, std::size_t size,
                                             bool mayDrop)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(master_, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody reads and the terminal is full: like a real line, lose
            // the whole piece, but never leave half of one behind.
            if (done == 0 && mayDrop)
                return WriteResult::Dropped;
            if (!waitWritable())
                return WriteResult::Aborted;
            continue;
        }
        return WriteResult::Aborted;
    }
    return WriteResult::Done;
}

bool Simulator::writeRaw(const std::uint8_t *data, std::size_t size)
{
    std::lock_guard lock(writeMutex_);
    if (master_ < 0)
        return false;
    return writeChunk(data, size, false) == WriteResult::Done;
}

void Simulator::run()
{
    std::mt19937 random(20240611u);
    auto chance = [&](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    auto byteOf = [&](int lo, int hi) {
        return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(lo, hi)(random));
    };

    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    for (std::uint64_t n = 0; !stopping_.load(); ++n) {
        Settings s;
        Disturbances trouble;
        {
            std::lock_guard lock(mutex_);
            s = settings_;
            trouble = disturbances_;
        }
        const double rate = s.framesPerSecond > 0 ? s.framesPerSecond : 2.0;
        const double secondsLeft =
            std::chrono::duration<double>(next - Clock::now()).count();
        if (secondsLeft > 0 && !sleepFor(secondsLeft))
            break;
        next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
        if (next < Clock::now() - std::chrono::seconds(1))
            next = Clock::now(); // fell far behind (a full terminal): do not race to catch up

        // Readings that drift slowly, as in a room with a fan.
        const double t = static_cast<double>(n);
        const double speed = std::max(0.0, 520 + 310 * std::sin(t * 0.045) + 35 * std::sin(t * 0.31));
        FrameFields f;
        f.quantity = s.quantity;
        f.fahrenheit = s.fahrenheit;
        f.areaInFeet = s.areaInFeet;
        f.derived = s.derived;
        f.multiplier = s.multiplier;
        f.unit = s.unit;
        f.hold = s.hold;
        f.humidity = static_cast<std::uint16_t>(std::lround(480 + 90 * std::sin(t * 0.013)));
        f.temperature = static_cast<int>(std::lround(231 + 18 * std::sin(t * 0.009 + 1.0)));
        f.speed = static_cast<std::uint16_t>(std::lround(speed));
        f.reading = readingFor(s, speed);
        f.spare = 0;
        f.area = s.area;
        const SampleFrame frame = wireFrame(f);

        std::lock_guard lock(writeMutex_);
        if (trouble.noise && chance(40)) {
            std::uint8_t junk[6];
            const int count = byteOf(1, 6);
            for (int i = 0; i < count; ++i) {
                junk[i] = byteOf(0, 0xFE);
                if (junk[i] == SampleFrame::kSync1)
                    junk[i] = 0x55;
            }
            if (writeChunk(junk, static_cast<std::size_t>(count), true) == WriteResult::Aborted)
                break;
        }
        if (trouble.brokenSync && chance(30)) {
            std::uint8_t pair[3] = {SampleFrame::kSync1, 0x00, 0};
            std::size_t size = 2;
            switch (byteOf(0, 2)) {
            case 0:
                break;
            case 1: // the second 0xEB is not taken for a new start
                pair[1] = SampleFrame::kSync1;
                pair[2] = SampleFrame::kSync2;
                size = 3;
                break;
            default:
                pair[1] = byteOf(0, 0x9F);
                break;
            }
            if (writeChunk(pair, size, true) == WriteResult::Aborted)
                break;
        }

        WriteResult result;
        if (trouble.splitWrites && chance(50)) {
            const std::size_t cut = byteOf(1, SampleFrame::kSize - 1);
            result = writeChunk(frame.bytes.data(), cut, true);
            if (result == WriteResult::Done) {
                // The rest follows a moment later, as from a slow adapter.
                // Not cut short by stop(): half a frame would spoil the next.
                std::this_thread::sleep_for(std::chrono::microseconds(500 + 500 * byteOf(0, 4)));
                result = writeChunk(frame.bytes.data() + cut, SampleFrame::kSize - cut, false);
            }
        } else {
            result = writeChunk(frame.bytes.data(), SampleFrame::kSize, true);
        }
        if (result == WriteResult::Aborted)
            break;
        if (result == WriteResult::Done) {
            std::lock_guard record(mutex_);
            sent_.push_back(frame);
        }
    }
}
