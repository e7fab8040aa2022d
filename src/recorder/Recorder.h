// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The headless recorder: the window's acquisition, hand-off and reading list
// model, with every row handed to a list of outputs (standard output last,
// so a printed row is already in every file).

#include "Acquisition.h"
#include "NoDataWatch.h"
#include "Output.h"
#include "ReadingListModel.h"
#include "RecorderOptions.h"
#include "SampleStore.h"

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
    // was opened) or the port cannot be opened (kPortError); the run then
    // ends without finished().
    bool start();
    // Ends the run: stops acquisition, finishes every output and emits
    // finished(status()). Safe to call twice.
    void finish();

    int status() const { return status_; }
    const ReadingListModel &model() const { return model_; }

signals:
    void finished(int status);

private:
    void onSample();
    void say(const QString &text);
    void outputFailed(const QString &text);
    bool openOutputs();
    void tick();
    void checkGone();
    void armDeadline();
    void armSilence();
    bool startReplay(); // --from, in RecorderReplay.cpp

    RecorderOptions options_;
    std::FILE *out_;
    std::FILE *err_;
    std::unique_ptr<SampleStore> store_;
    std::unique_ptr<Simulator> simulator_;
    Acquisition acquisition_;
    ReadingListModel model_;
    OutputContext context_;
    std::vector<std::unique_ptr<Output>> outputs_;
    QString portShown_;
    // Once a second: outputs catch up and report.
    QTimer *ticker_ = nullptr;
    // --seconds, re-armed in chunks: a timer takes at most 24.8 days.
    QTimer *deadline_ = nullptr;
    std::chrono::steady_clock::time_point deadlineAt_;
    NoDataWatch silence_;
    QTimer *silenceTimer_ = nullptr;
    bool goneTold_ = false;
    int status_ = kDone;
    bool finished_ = false;
};
