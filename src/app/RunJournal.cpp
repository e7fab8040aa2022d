// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunJournal.h"

#include "RecordingFolder.h"

#include <QDir>
#include <QFileInfo>

RunJournal::RunJournal(std::function<OutputContext()> context, QObject *parent)
    : QObject(parent), context_(std::move(context))
{
}

RunJournal::~RunJournal() = default;

QString RunJournal::defaultFolder() { return recording_file::userFolder(); }

QString RunJournal::newPath(const Timestamp &start) const
{
    // "2026-12-08T11:29:31.512+01:00" -> "2026-12-08_11-29-31"
    QString stem = start.isoText().left(19);
    stem[10] = QLatin1Char('_');
    stem.replace(QLatin1Char(':'), QLatin1Char('-'));
    const QDir dir(folder_);
    QString path = dir.filePath(stem + QStringLiteral(".breezon"));
    // Two recordings begun within one second (RESET at once) keep apart.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1-%2.breezon").arg(stem).arg(n));
    return path;
}

void RunJournal::add(const RowRecord &row)
{
    if (folder_.isEmpty())
        return;
    if (!output_) {
        if (path_.isEmpty()) {
            path_ = newPath(row.time);
            emit begun(path_);
        }
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
    int lost = 0;
    if (output_) {
        lost = output_->settle();
        output_.reset();
    }
    return lost;
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
