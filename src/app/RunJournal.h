// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window keeps every run: each recording, from its first row after
// start-up or RESET to the next RESET or the end, goes into a recording file
// of its own in the journal folder, named by its start time
// (2026-12-08_11-29-31.breezon). STOP, START and the exports do not start a
// new one. It is the spine of the window's session: the files are written by
// a thread of their own, so the user-interface thread never waits for the
// disk while recording.

#include "RecordingFileOutput.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class RunJournal : public QObject, public Output {
    Q_OBJECT
public:
    ~RunJournal() override; // waits for the files to be written

    // Where new recordings go; empty keeps no journal at all.
    void setFolder(const QString &folder) { folder_ = folder; }
    QString folder() const { return folder_; }
    // Tells the port and period a new recording is made with.
    void setContext(std::function<OutputContext()> context) { context_ = std::move(context); }

    QString name() const override { return QStringLiteral("journal"); }
    ExportResult open() override { return ExportResult::success(); }
    // A row of the recording; the first one makes its file.
    void add(const RowRecord &row) override;
    ExportResult finish() override { return ExportResult::success(); }
    void tick() override;

    // RESET: the next row begins a new recording.
    void endRecording();
    // Waits until the recording so far is in its file (it may be read next);
    // the rows that could not be written.
    int settle();
    // The next rows go on in `path`, a recording just reopened.
    void continueWith(const QString &path);
    // The current recording's file; empty before its first row.
    QString path() const { return path_; }

    // Rows given and not yet in their files: how many, the first file they
    // wait for, and, while writing fails, why.
    struct Unwritten {
        std::size_t rows = 0;
        QString file;
        QString why;
    };
    Unwritten unwritten() const;
    // The waiting rows go into `path` instead (numbered "-2", "-3", … when
    // rows of several recordings wait), each a recording of its own.
    void divertUnwritten(const QString &path);

signals:
    // A failure, or its recovery, for the status bar.
    void note(const QString &text);
    // A new recording begins in the file `path`.
    void begun(const QString &path);

private:
    QString newPath(const Timestamp &start) const;
    std::vector<RecordingFileOutput *> writers() const;

    std::function<OutputContext()> context_;
    QString folder_;
    QString path_;
    std::unique_ptr<RecordingFileOutput> output_;
    // Ended recordings whose writer is still at work (a full disk).
    std::vector<std::unique_ptr<RecordingFileOutput>> ended_;
};
