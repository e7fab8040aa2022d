// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The headless recorder: a session whose rows go first into the run's
// recording file (--breezon, or the recordings folder), then into every
// output chosen, standard output last, so a printed row is already in every
// file. With --from the session's source is a recording file instead of a
// port.

#include "RecorderOptions.h"
#include "RecordingFileOutput.h"
#include "SampleStore.h"
#include "Session.h"

#include <QObject>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

class QTimer;
class Simulator;

class Recorder : public QObject {
    Q_OBJECT
public:
    // kNoData: the run ended without a single row.
    enum ExitStatus { kDone = 0, kUsage = 2, kPortError = 3, kFileError = 4, kNoData = 5 };

    Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent = nullptr);
    ~Recorder() override;

    // Opens every output, then the port, and starts recording. Returns
    // false when an output cannot be opened (status() is kFileError, no port
    // was opened, no file made) or the port cannot be opened (kPortError);
    // the run then ends without finished().
    bool start();
    // Ends the run: stops acquisition, finishes every output and emits
    // finished(status()). Safe to call twice.
    void finish();

    int status() const { return status_; }
    // The run's recording file; empty without one.
    QString recordingPath() const;

signals:
    // A row went to every output.
    void rowRecorded();
    void finished(int status);

private:
    void say(const QString &text);
    void outputFailed(const QString &text);
    bool usage(const QString &text);
    bool prepare(const QString &recordedName = {}, const QString &recordedHost = {}, const QString &recordedPort = {});
    bool makeOutputs();
    bool openOutputs();
    void onRow();
    void checkGone();
    void armDeadline();
    bool startLive();
    bool startReplay(); // --from, in RecorderReplay.cpp

    RecorderOptions options_;
    std::FILE *out_;
    std::FILE *err_;
    std::unique_ptr<SampleStore> store_;
    std::unique_ptr<Simulator> simulator_;
    Session session_;
    OutputContext context_;
    std::unique_ptr<RecordingFileOutput> recording_; // the live run's spine
    std::unique_ptr<Spine> source_;                  // --from: the recording read
    std::vector<std::unique_ptr<Output>> outputs_;
    // --seconds, re-armed in chunks: a timer takes at most 24.8 days.
    QTimer *deadline_ = nullptr;
    std::chrono::steady_clock::time_point deadlineAt_;
    std::int64_t rows_ = 0;
    bool goneTold_ = false;
    int status_ = kDone;
    bool finished_ = false;
};
