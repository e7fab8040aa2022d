// SPDX-License-Identifier: GPL-3.0-or-later
#include "Acquisition.h"

#include "FrameAssembler.h"
#include "SampleStore.h"
#include "SerialPort.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kPauseMs = 10;          // before every byte, and the clock's beat
constexpr int kByteWaitMs = 8001;     // one byte, or give up and try again
constexpr int kSliceMs = 50;          // longest wait without looking at `running`
constexpr int kHandoffDelayMs = 5;    // the single-shot timer armed per sample
constexpr milliseconds kReopenEvery{1000};

// Whole milliseconds left until `until`, rounded up: poll() takes whole
// milliseconds, and a truncated wait would end each pause early (9 ms
// passes, about 110 bytes a second instead of at most 100).
long long msUntil(Clock::time_point until)
{
    return std::chrono::ceil<milliseconds>(until - Clock::now()).count();
}
} // namespace

// The workers never call into Qt. They leave a note in an atomic and wake
// the user-interface thread through an eventfd that a QSocketNotifier
// watches; everything Qt does (the 5 ms timer, the signals) happens there.
// Qt's own cross-thread event queue would do the same job, but its locking
// is invisible to ThreadSanitizer, and this way nothing allocated on a worker
// is ever released on another thread.
struct Acquisition::Impl {
    Impl(Acquisition &o, SampleStore &s) : owner(o), store(s)
    {
        wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd >= 0) {
            wakeNotifier = std::make_unique<QSocketNotifier>(wakeFd, QSocketNotifier::Read);
            QObject::connect(wakeNotifier.get(), &QSocketNotifier::activated,
                             [this] { takeNotes(); });
        }
        timer.setSingleShot(true);
        timer.setInterval(kHandoffDelayMs);
        // A hand-off armed for a frame that RESET discarded meanwhile has
        // nothing to hand over.
        QObject::connect(&timer, &QTimer::timeout, &owner, [this] {
            if (pending.load(std::memory_order_acquire) != 0)
                emit owner.sampleReady();
        });
    }
    ~Impl()
    {
        wakeNotifier.reset();
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    Acquisition &owner;
    SampleStore &store;

    // User-interface thread only.
    bool active = false; // between a successful start and stop
    std::uint64_t runNumber = 0;
    QString shownPath;
    QTimer timer;
    std::uint32_t portEventsSeen = 0;

    int wakeFd = -1;
    std::unique_ptr<QSocketNotifier> wakeNotifier;
    // Notes from the workers: a hand-off to arm, and a count of port events
    // (odd: it went away, even: it is back; they strictly alternate).
    std::atomic<std::uint32_t> armRequested{0};
    std::atomic<std::uint32_t> portEvents{0};

    // Set on the user-interface thread before the threads start; the reader
    // owns `port` while they run and hands it back when joined.
    std::string path;
    SerialPort port;
    int periodMs = 500;
    int stopFd = -1; // eventfd, readable once stop() asks the workers to end

    std::atomic<std::uint32_t> running{0};
    std::atomic<std::uint32_t> pending{0};

    std::thread reader;
    std::thread clock;

    bool stopRequested() const { return running.load(std::memory_order_acquire) == 0; }

    // Waits `ms`, in slices, and returns early (true) when stop() asks.
    bool pause(int ms)
    {
        const auto until = Clock::now() + milliseconds(ms);
        for (;;) {
            if (stopRequested())
                return true;
            const auto left = msUntil(until);
            if (left <= 0)
                return false;
            pollfd p{stopFd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs))) > 0)
                return true;
        }
    }

    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    void noteArm()
    {
        armRequested.store(1, std::memory_order_release);
        wake();
    }
    void notePortEvent()
    {
        portEvents.fetch_add(1, std::memory_order_release);
        wake();
    }

    // User-interface thread: act on the workers' notes.
    void takeNotes()
    {
        std::uint64_t count;
        while (::read(wakeFd, &count, sizeof count) > 0) {
        }
        const std::uint32_t events = portEvents.load(std::memory_order_acquire);
        const bool arm = armRequested.exchange(0, std::memory_order_acq_rel) != 0;
        if (!active)
            return;
        const std::uint64_t run = runNumber;
        while (portEventsSeen != events) {
            ++portEventsSeen;
            if (portEventsSeen % 2 == 1)
                emit owner.portStatus(
                    QStringLiteral("port %1 is gone; waiting for it to come back").arg(shownPath));
            else
                emit owner.portStatus(QStringLiteral("port %1 is back").arg(shownPath));
            if (!active || runNumber != run)
                return; // a receiver stopped (or restarted) the run
        }
        if (arm)
            timer.start();
    }

    // User-interface thread, after the workers ended: forget their notes.
    void dropNotes()
    {
        std::uint64_t count;
        while (wakeFd >= 0 && ::read(wakeFd, &count, sizeof count) > 0) {
        }
        armRequested.store(0, std::memory_order_relaxed);
        // No worker runs: restart the count, so the next run's first event
        // reads as "gone" again whatever this run ended in.
        portEvents.store(0, std::memory_order_relaxed);
        portEventsSeen = 0;
        timer.stop();
    }

    enum class Wait { Byte, NoByte, Gone, Stop };

    // Waits at most kByteWaitMs for the port to offer a byte.
    Wait waitForByte()
    {
        const auto until = Clock::now() + milliseconds(kByteWaitMs);
        for (;;) {
            if (stopRequested())
                return Wait::Stop;
            const auto left = msUntil(until);
            if (left <= 0)
                return Wait::NoByte;
            pollfd p[2] = {{port.fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
            const int r = poll(p, 2, static_cast<int>(std::min<long long>(left, kSliceMs)));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return Wait::NoByte; // try again after the next pause
            }
            if (p[1].revents != 0)
                return Wait::Stop;
            if (p[0].revents & POLLIN)
                return Wait::Byte; // read() tells whether it is a byte or a hang-up
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                return Wait::Gone;
        }
    }

    void readerLoop()
    {
        FrameAssembler assembler;
        auto nextReopen = Clock::now();
        while (!stopRequested()) {
            if (pause(kPauseMs))
                break;

            if (!port.isOpen()) {
                const auto left = msUntil(nextReopen);
                if (left > 0 && pause(static_cast<int>(left)))
                    break;
                nextReopen = Clock::now() + kReopenEvery;
                if (port.open(path)) {
                    assembler.reset();
                    notePortEvent();
                }
                continue;
            }

            Wait w = waitForByte();
            if (w == Wait::Stop)
                break;
            if (w == Wait::NoByte)
                continue;
            if (w == Wait::Byte) {
                std::uint8_t byte = 0;
                const ssize_t n = ::read(port.fd(), &byte, 1);
                if (n == 1) {
                    if (assembler.push(byte))
                        storeFrame(assembler.frame(), store, pending);
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                w = Wait::Gone; // end of file or a dead device (EIO)
            }
            // The device went away: let go of the dead descriptor at once and
            // look for it again about once a second. The store is untouched.
            port.close();
            notePortEvent();
            nextReopen = Clock::now() + kReopenEvery;
        }
    }

    void clockLoop()
    {
        while (!stopRequested()) {
            if (pause(kPauseMs))
                break;
            if (pending.load(std::memory_order_acquire) == 1) {
                noteArm();
                if (pause(periodMs))
                    break;
            }
        }
    }

    // Ends the workers (if any) and releases the port and the eventfd.
    void endRun()
    {
        running.store(0, std::memory_order_release);
        if (stopFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(stopFd, &one, sizeof one);
        }
        if (reader.joinable())
            reader.join();
        if (clock.joinable())
            clock.join();
        port.close();
        if (stopFd >= 0) {
            ::close(stopFd);
            stopFd = -1;
        }
    }
};

Acquisition::Acquisition(SampleStore &store, QObject *parent)
    : QObject(parent), d(std::make_unique<Impl>(*this, store))
{
}

Acquisition::~Acquisition()
{
    stop();
}

Acquisition::StartResult Acquisition::start(const QString &path, int periodMs, QString *whyNot, bool waitForPort)
{
    stop();

    const QByteArray encoded = QFile::encodeName(path);
    const std::string nativePath(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    std::string why;
    if (!d->port.open(nativePath, &why)) {
        if (whyNot)
            *whyNot = QString::fromLocal8Bit(why.data(), static_cast<qsizetype>(why.size()));
        if (!waitForPort)
            return StartResult::OpenFailed;
        // Counted as gone already, so its return reads as "back".
        d->portEvents.store(1, std::memory_order_relaxed);
        d->portEventsSeen = 1;
    }
    d->path = nativePath;
    d->shownPath = path;
    d->periodMs = std::max(periodMs, 0);

    d->stopFd = d->wakeFd < 0 ? -1 : eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d->stopFd < 0) {
        d->port.close();
        return StartResult::ThreadFailed;
    }

    // A frame stored in an earlier run belongs to that run: the new run's
    // first hand-off is a frame stored after this point.
    d->pending.store(0, std::memory_order_release);
    d->running.store(1, std::memory_order_release);
    try {
        d->reader = std::thread([impl = d.get()] { impl->readerLoop(); });
        d->clock = std::thread([impl = d.get()] { impl->clockLoop(); });
    } catch (const std::system_error &) {
        d->endRun();
        d->dropNotes();
        return StartResult::ThreadFailed;
    }
    d->active = true;
    ++d->runNumber;
    return StartResult::Started;
}

void Acquisition::stop()
{
    d->endRun();
    // Both workers have ended: no new note can come, so whatever they left
    // before is dropped here and the timer cannot fire any more.
    d->active = false;
    d->dropNotes();
}

bool Acquisition::isOpen() const
{
    return d->active;
}

bool Acquisition::waitingForPort() const
{
    return d->active && d->portEventsSeen % 2 == 1;
}

bool Acquisition::pending() const
{
    return d->pending.load(std::memory_order_acquire) != 0;
}

bool Acquisition::handoffArmed() const
{
    return d->timer.isActive();
}

void Acquisition::clearPending()
{
    d->pending.store(0, std::memory_order_release);
}

void Acquisition::emptyStore()
{
    // Whatever the clock asked for so far is dropped; a request it makes
    // after this finds `pending` clear when its timer fires, unless the
    // reader has stored a new frame by then, which is then rightly handed over.
    d->store.clear(&d->pending);
    d->armRequested.store(0, std::memory_order_relaxed);
    d->timer.stop();
}
