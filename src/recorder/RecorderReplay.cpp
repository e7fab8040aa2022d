// SPDX-License-Identifier: GPL-3.0-or-later
// --from: the rows of a recording file instead of a port's, each with its
// number and recorded time, through the same session and outputs as a live
// run; so the files made are those the live run would have made. The files
// are written in large pieces with one sync at the end, not one a row.
#include "Recorder.h"

#include "RecordingFileReader.h"
#include "RecordingFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <chrono>

namespace {

// The recording read, as the outputs made from it see it. Its outbox is
// written only when an output keeps its place there (--mqtt), so a plain
// conversion never writes to the file it reads.
class SourceSpine : public Spine {
public:
    explicit SourceSpine(QString path) : path_(std::move(path)) {}
    ~SourceSpine() override
    {
        if (writer_.isOpen())
            writer_.writeMarks(nullptr);
    }
    QString path() const override { return path_; }
    std::int64_t delivered(const std::string &destination) const override
    {
        if (!writer_.isOpen() && !tried_) {
            tried_ = true;
            writer_.open(QFile::encodeName(path_).toStdString(), nullptr);
        }
        return writer_.isOpen() ? writer_.delivered(destination) : -1;
    }
    // A mark is written at most once a second, as the live spine writes its
    // own with its rows: a commit is several syncs, in the file being read.
    // A crash sends that second's rows again, which delivery allows.
    void noteDelivered(const std::string &destination, std::int64_t seq) override
    {
        if (!writer_.isOpen())
            return;
        writer_.noteDelivered(destination, seq);
        if (const auto now = std::chrono::steady_clock::now(); now - marksWritten_ >= std::chrono::seconds(1)) {
            writer_.writeMarks(nullptr);
            marksWritten_ = now;
        }
    }

private:
    QString path_;
    mutable RecordingFileWriter writer_;
    mutable bool tried_ = false;
    std::chrono::steady_clock::time_point marksWritten_;
};

} // namespace

bool Recorder::startReplay()
{
    // The source is checked before any output file is created or emptied.
    auto reader = std::make_shared<RecordingFileReader>();
    const ExportResult opened = reader->open(options_.from);
    if (!opened.ok) {
        say(QStringLiteral("cannot read %1: %2").arg(options_.from, opened.error));
        status_ = kPortError;
        return false;
    }
    // The rows are the recorded instrument's: by default they keep its name,
    // host and so its topics, and an outbox left by the live run is found.
    if (!prepare(reader->fact("name"), reader->fact("host"), reader->fact("port")))
        return false;
    context_.conversion = true;
    source_ = std::make_unique<SourceSpine>(options_.from);
    context_.spine = source_.get();
    if (!makeOutputs())
        return false;
    // --breezon beside --from copies the rows that verify into another file.
    const QString copy = options_.settings.value(QStringLiteral("--breezon"));
    if (!copy.isEmpty()) {
        if (QFileInfo(copy).absoluteFilePath() == QFileInfo(options_.from).absoluteFilePath())
            return usage(QStringLiteral("--breezon and --from name the same file %1").arg(copy));
        outputs_.insert(outputs_.begin(),
                        std::make_unique<RecordingFileOutput>(copy, context_, RecordingFileOutput::Mode::Synchronous));
    }
    if (!openOutputs())
        return false;
    // Once start() has returned, so a caller waiting for finished() sees it.
    QTimer::singleShot(0, this, [this, reader] {
        session_.replay(*reader, options_.rows ? *options_.rows : -1);
        if (reader->damagedRows() > 0) {
            say(QStringLiteral("%1 has %2 damaged %3, left out: the first is row %4")
                    .arg(options_.from)
                    .arg(reader->damagedRows())
                    .arg(reader->damagedRows() == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                    .arg(reader->firstDamaged()));
            status_ = kPortError;
        }
        if (!reader->error().isEmpty()) {
            say(QStringLiteral("%1 could be read only up to row %2: %3")
                    .arg(options_.from)
                    .arg(session_.nextSeq())
                    .arg(reader->error()));
            status_ = kPortError;
        }
        finish();
    });
    return true;
}
