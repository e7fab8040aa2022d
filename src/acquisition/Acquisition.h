#pragma once
// Acquisition without widgets: the port, the reader and clock threads, frame
// assembly, `running` and `pending`. The window and the headless recorder
// both drive it; the messages, captions and enabled states are theirs.
//
// Lives on the user-interface thread. The per-sample hand-off arrives there
// as the signal sampleReady(), the timeout of a 5 ms single-shot timer that
// the clock thread arms through a queued call once per sampling period while
// a stored frame waits.

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
    // and the clock with `periodMs`. On OpenFailed, `whyNot` (if given) gets
    // a plain-words reason for the status bar. On any failure nothing stays
    // open and no thread runs.
    StartResult start(const QString &path, int periodMs, QString *whyNot = nullptr);

    // Ends both threads (within 200 ms), closes the port. Afterwards no frame
    // is stored and no hand-off is armed or delivered.
    void stop();

    // True while a port is open (between a successful start and stop).
    bool isOpen() const;

    // The hand-off flag: set by the reader when it stored a frame.
    bool pending() const;
    void clearPending();

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
