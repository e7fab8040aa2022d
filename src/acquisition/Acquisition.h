// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Acquisition without widgets: the port, the reader and clock threads, frame
// assembly, `running` and `pending`. The window and the headless recorder
// both drive it; the messages, captions and enabled states are theirs.
//
// Lives on the user-interface thread (it needs that thread's event loop).
// The per-sample hand-off arrives there as the signal sampleReady(), the
// timeout of a 5 ms single-shot timer that the clock thread has the
// user-interface thread start once per sampling period while a stored frame
// waits. The worker threads never call into Qt: they wake the user-interface
// thread through an eventfd, and all signals are emitted there.
//
// The reader pauses 10 ms before every byte and waits at most 8001 ms for
// it, so it takes in about a hundred bytes a second; frames completed while
// `pending` is set are dropped. A device that goes away mid-run (hang-up,
// end of file, I/O error) is closed at once and looked for again at the same
// path about once a second: portStatus() says "port PATH is gone; waiting
// for it to come back" and later "port PATH is back", and assembly starts
// afresh at the first sync byte. The store is emptied only by emptyStore().
//
// The hand-off for a test or a window: connect to sampleReady(), read the
// newest frame of the store, then call clearPending(); the reader stores the
// next frame only after that.

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class SampleStore;

class Acquisition : public QObject {
    Q_OBJECT
public:
    explicit Acquisition(SampleStore &store, QObject *parent = nullptr);
    ~Acquisition() override; // stops a running acquisition first

    enum class StartResult { Started, OpenFailed, ThreadFailed };

    // Opens and configures `path` with exclusive use, then starts the reader
    // and the clock with `periodMs` (taken here, once: later changes of the
    // caller's choice do not reach a running clock). On OpenFailed, `whyNot`
    // (if given) gets a plain-words reason for the status bar. On any failure
    // nothing stays open and no thread runs. A running acquisition is
    // stopped first. `pending` is cleared before the threads run, so a frame
    // stored before START is never handed over.
    //
    // With `waitForPort`, a port that cannot be opened is not a failure: the
    // run starts waiting for it as for one that went away (no note: the
    // caller knows it is gone), and "port PATH is back" follows when it
    // comes.
    StartResult start(const QString &path, int periodMs, QString *whyNot = nullptr, bool waitForPort = false);

    // Ends both threads (within 200 ms), closes the port. Afterwards no frame
    // is stored and no hand-off or port note is armed or delivered, not even
    // one the clock posted just before. Harmless when not running.
    void stop();

    // True between a successful start and stop, also while a device that
    // went away is being waited for.
    bool isOpen() const;
    // True while the device has gone and is being waited for (as last told
    // by portStatus()).
    bool waitingForPort() const;

    // The hand-off flag: set by the reader when it stored a frame (after the
    // frame and the store's write length are visible), cleared only here.
    bool pending() const;
    void clearPending();
    // RESET: empties the store and forgets a frame that waits for its
    // hand-off, in one step as far as the reader can tell; a hand-off
    // already armed for it is not delivered. Recording goes on.
    void emptyStore();

    // True while a hand-off is armed: the 5 ms timer runs and sampleReady()
    // follows unless stop() comes first.
    bool handoffArmed() const;

signals:
    // One stored frame waits for its row.
    void sampleReady();
    // A plain-words note on the port while running: it went away, or it is
    // back (for the status bar).
    void portStatus(const QString &text);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
