// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A run, whichever program shows it. The session owns the source of frames
// (the acquisition on a port, or a recording file read back), makes each
// handed-over frame a row, numbers it, watches for silence, and gives the
// row, in order, to its sinks. The window and the recorder each own one;
// neither has a road of its own from frame to row, so a new output is one
// sink for both.
//
// The spine, when there is one, is the run's recording file: it takes each
// live row first, and the row's number is its number there. A row read back
// from a recording is that recording's already, so the spine does not get it
// again.
//
// Lives on the user-interface thread; sinks are called there only.

#include "Acquisition.h"
#include "NoDataWatch.h"
#include "Output.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class QTimer;
class RecordingFileReader;
class SampleStore;

class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(SampleStore &store, QObject *parent = nullptr);
    ~Session() override; // stops acquisition first

    // The sinks, in the order rows reach them: the spine first, then the
    // others as added. The session keeps those given as unique_ptr.
    void setSpine(Output *spine);
    void addSink(Output *sink);
    void addSink(std::unique_ptr<Output> sink);
    const std::vector<Output *> &sinks() const { return sinks_; }

    // Opens every sink, each tried even after a failure, so one try names
    // every problem: "the CSV file a.csv cannot be written: …".
    QStringList openSinks();
    // The run never started: every sink removes what it created.
    void discardSinks();
    // The run is over: every sink writes what remains and closes, the spine
    // last (others may still read from it or note into it). The reasons
    // of the failures not told before.
    QStringList finishSinks();

    // The number the next live row gets (the spine's next, after a reopened
    // recording its next, 0 after RESET).
    void setNextSeq(std::int64_t seq) { nextSeq_ = seq; }
    std::int64_t nextSeq() const { return nextSeq_; }

    // Live rows from the instrument at `port`, one per `periodMs` (see
    // Acquisition::start); the silence watch starts with it.
    Acquisition::StartResult start(const QString &port, int periodMs, QString *whyNot = nullptr,
                                   bool waitForPort = false);
    void stop();
    bool isRunning() const { return acquisition_.isOpen(); }
    QString port() const { return port_; }
    int periodMs() const { return periodMs_; }
    Acquisition &acquisition() { return acquisition_; }
    // RESET: the store is emptied and numbering starts again at 0.
    void reset();
    // The hand-off: the newest stored frame becomes the next row (what the
    // acquisition's sampleReady() does; public for the window's
    // onSampleTimer and for tests).
    void handOver();

    // Rows read back from a recording, with their own numbers and times, to
    // every sink but the spine, as one bulk (see Output::beginBulk), at most
    // `limit` of them (all when negative). The store gets their frames.
    // Returns how many rows went; the reader tells what it could not read.
    std::int64_t replay(RecordingFileReader &reader, std::int64_t limit = -1);

    // How long a running acquisition may go without a frame before note()
    // says so (lowered by tests).
    std::chrono::milliseconds noDataAfter = NoDataWatch::kFirst;

signals:
    // A row went to every sink.
    void rowAdded(const RowRecord &row);
    // The port went away or is back; no frame for a while.
    void note(const QString &text);
    // About once a second, after every sink had its tick.
    void ticked();

private:
    void deliver(const RowRecord &row);
    void armSilence();
    // Tells the sinks once when the instrument falls silent and once when it
    // sends again.
    void tellSilent(bool silent);

    SampleStore &store_;
    Acquisition acquisition_;
    Output *spine_ = nullptr;
    std::vector<Output *> sinks_;
    std::vector<std::unique_ptr<Output>> owned_;
    std::int64_t nextSeq_ = 0;
    QString port_;
    int periodMs_ = 1000;
    NoDataWatch silence_;
    QTimer *silenceTimer_ = nullptr;
    bool silent_ = false;
    std::chrono::steady_clock::time_point lastRowAt_;
    QTimer *ticker_ = nullptr;
};
