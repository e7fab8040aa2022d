// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --breezon and the window's journal: every row into a recording file, one
// transaction per row. A file that is there already is continued, its rows
// numbering on, and each start is noted among its facts.
//
// A row that cannot be written (a full disk) stays in memory: the failure is
// told once, the write is tried again with every later row (and each tick),
// and the file catches up when it can.

#include "Output.h"
#include "RecordingFileWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class RecordingFileOutput : public Output, public Spine {
public:
    enum class Mode {
        // add() returns once the row is on the disk: the recorder prints a
        // row only when it is in the file.
        Synchronous,
        // A writer thread of its own takes the rows (and creates missing
        // folders): add() never waits for the disk. For the window.
        Background,
    };

    RecordingFileOutput(QString path, const OutputContext &context, Mode mode);
    ~RecordingFileOutput() override; // a last try for unwritten rows, then the writer ends

    QString name() const override { return QStringLiteral("recording file %1").arg(path_); }
    QString path() const override { return path_; }
    ExportResult open() override;
    // Synchronous: the number the next row gets, one past the file's last.
    std::int64_t nextSeq() const { return writer_.nextSeq(); }
    std::int64_t delivered(const std::string &destination) const override;
    void noteDelivered(const std::string &destination, std::int64_t seq) override;
    void discard() override;
    void add(const RowRecord &row) override;
    // Synchronous: the reason when rows stay unwritten. Background: returns
    // at once; the writer ends when every row is written.
    ExportResult finish() override;
    void tick() override;
    // Finishes and waits for the writer to end; the rows it could not write.
    int settle();
    // Rows given and not yet in the file, and while writing fails, why.
    std::size_t waiting();
    QString failure();
    // Background: the rows not yet written go into `path` instead, a new
    // recording of their own (the file's disk is full, say).
    void divert(const QString &path);
    // Background: the writer has ended, every row written (after finish()).
    bool ended();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<StoredRow> queue; // given, not yet in the file
        unsigned long added = 0;     // rows ever given: a new one is a reason to try again
        bool finishing = false;      // end once the queue is written
        bool abandon = false;        // one last try, then end
        bool failing = false;
        std::string why;
        std::string divertTo; // where the waiting rows go instead
        bool ended = false;
    };

    void drain(std::unique_lock<std::mutex> &lock);
    bool openWriter(std::string *why);
    void run();
    void report();

    QString path_;
    std::string fileName_; // path_ in the file system's encoding: the writer thread's alone in Background mode
    Mode mode_;
    Facts facts_;
    RecordingFileWriter writer_; // the writer thread's alone in Background mode
    bool factsNoted_ = false;    // likewise
    bool created_ = false;       // open() made the file
    Shared shared_;
    std::thread thread_;
};
