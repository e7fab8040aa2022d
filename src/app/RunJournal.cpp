// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunJournal.h"

#include "PosixFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// "a.breezon" -> "a-2.breezon" for n = 2.
QString numbered(const QString &path, int n)
{
    QString to = path;
    to.insert(to.endsWith(QStringLiteral(".breezon")) ? to.size() - 8 : to.size(), QStringLiteral("-%1").arg(n));
    return to;
}

// Why a reopened recording cannot go on here (another breezon has begun to
// write it, or the user may only read it); empty when it can.
QString whyNotContinued(const QString &path)
{
    if (posix_file::inUseByAnother(path))
        return posix_file::inUseText();
    const auto writable = [](const QString &p) { return ::access(QFile::encodeName(p).constData(), W_OK) == 0; };
    return writable(path) && writable(QFileInfo(path).path()) ? QString() : QStringLiteral("read-only");
}

} // namespace

RunJournal::~RunJournal() = default;

QString RunJournal::newPath(const Timestamp &start) const
{
    // "2026-12-08T11:29:31.512+01:00" -> "2026-12-08_11-29-31"
    QString stem = start.isoText().left(19);
    stem[10] = QLatin1Char('_');
    stem.replace(QLatin1Char(':'), QLatin1Char('-'));
    const QString first = QDir(folder_).filePath(stem + QStringLiteral(".breezon"));
    // Two recordings begun within one second (RESET at once) keep apart.
    QString path = first;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = numbered(first, n);
    return path;
}

void RunJournal::add(const RowRecord &row)
{
    if (folder_.isEmpty())
        return;
    if (!output_) {
        // A reopened recording that cannot be written here is left as it
        // is: the run goes on in a recording of its own.
        const QString reopened = path_;
        const QString left = reopened.isEmpty() ? QString() : whyNotContinued(reopened);
        if (reopened.isEmpty() || !left.isEmpty()) {
            path_ = newPath(row.time);
            emit begun(path_);
        }
        if (!left.isEmpty())
            emit note(QStringLiteral("%1 is %2: this run goes on in %3").arg(reopened, left, path_));
        output_ = std::make_unique<RecordingFileOutput>(path_, context_ ? context_() : OutputContext{},
                                                        RecordingFileOutput::Mode::Background);
        output_->setNote([this](const QString &text, bool) { emit note(text); });
        output_->open();
    }
    output_->add(row);
}

void RunJournal::endRecording()
{
    if (output_) {
        output_->finish();
        ended_.push_back(std::move(output_));
    }
    path_.clear();
}

int RunJournal::settle()
{
    const int lost = output_ ? output_->settle() : 0;
    output_.reset();
    return lost;
}

std::vector<RecordingFileOutput *> RunJournal::writers() const
{
    std::vector<RecordingFileOutput *> all;
    if (output_)
        all.push_back(output_.get());
    for (const auto &ended : ended_)
        all.push_back(ended.get());
    return all;
}

RunJournal::Unwritten RunJournal::unwritten() const
{
    Unwritten u;
    for (RecordingFileOutput *writer : writers()) {
        const std::size_t rows = writer->waiting();
        u.rows += rows;
        const QString why = writer->failure();
        if (rows > 0 && u.file.isEmpty())
            u.file = writer->path();
        if (rows > 0 && !why.isEmpty() && u.why.isEmpty())
            u.why = why;
    }
    return u;
}

void RunJournal::divertUnwritten(const QString &path)
{
    // Each recording with rows waiting gets a file of its own: two writers
    // would refuse each other, and a recording already there would be
    // continued with rows of another.
    QString to = path;
    int n = 1;
    for (RecordingFileOutput *writer : writers()) {
        if (writer->waiting() == 0)
            continue;
        writer->divert(to);
        if (writer == output_.get())
            path_ = to;
        do
            to = numbered(path, ++n);
        while (QFileInfo::exists(to));
    }
}

void RunJournal::continueWith(const QString &path)
{
    settle();
    path_ = path;
}

// Failures and recoveries of the writers are told from here between rows
// too, so a file that catches up after STOP says so.
void RunJournal::tick()
{
    if (output_)
        output_->tick();
    for (auto it = ended_.begin(); it != ended_.end();) {
        (*it)->tick();
        it = (*it)->ended() ? ended_.erase(it) : it + 1;
    }
}
