#pragma once
// The headless recorder: the window's acquisition, hand-off, reading list
// model and exports, with rows going to standard output and to files that
// grow as they arrive.

#include "Acquisition.h"
#include "LiveFile.h"
#include "ReadingListModel.h"
#include "RecorderOptions.h"
#include "SampleStore.h"

#include <QObject>

#include <cstdio>
#include <memory>

class QTimer;
class Simulator;

class Recorder : public QObject {
    Q_OBJECT
public:
    enum ExitStatus { kDone = 0, kUsage = 2, kPortError = 3, kFileError = 4 };

    Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent = nullptr);
    ~Recorder() override;

    // Opens the files and the port and starts recording. Returns false when
    // the port cannot be opened (status() is then kPortError); the run
    // then ends without finished().
    bool start();
    // Ends the run: stops acquisition, writes the spreadsheet file if asked,
    // closes the files and emits finished(status()). Safe to call twice.
    void finish();

    int status() const { return status_; }
    const ReadingListModel &model() const { return model_; }

signals:
    void finished(int status);

private:
    void onSample();
    void fileFailed(const QString &what, const QString &path, const QString &why);

    RecorderOptions options_;
    std::FILE *out_;
    std::FILE *err_;
    std::unique_ptr<SampleStore> store_;
    std::unique_ptr<Simulator> simulator_;
    Acquisition acquisition_;
    ReadingListModel model_;
    LiveFile txt_;
    LiveFile csv_;
    QTimer *deadline_ = nullptr;
    int status_ = kDone;
    bool finished_ = false;
};
