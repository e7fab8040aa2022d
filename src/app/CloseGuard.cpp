// SPDX-License-Identifier: GPL-3.0-or-later
#include "CloseGuard.h"

#include "Dialogs.h"
#include "RunJournal.h"

#include <QTimer>
#include <QWidget>

namespace {
// How long rows may wait without a failure before the user is asked: a row
// is written within milliseconds.
constexpr qint64 kPatienceMs = 3000;
// How long writing is tried again after "wait" before the user is asked again.
constexpr qint64 kRetryMs = 10000;
} // namespace

CloseGuard::CloseGuard(QWidget &window, RunJournal &journal)
    : QObject(&window), window_(window), journal_(journal), timer_(new QTimer(this))
{
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &CloseGuard::look);
}

bool CloseGuard::timeToAsk() const
{
    const RunJournal::Unwritten u = journal_.unwritten();
    return (!asked_ && !u.why.isEmpty()) || since_.elapsed() >= (asked_ ? kRetryMs : kPatienceMs);
}

void CloseGuard::look()
{
    if (journal_.unwritten().rows == 0 || timeToAsk()) {
        timer_->stop();
        window_.close();
    }
}

bool CloseGuard::mayClose()
{
    if (approved_ || journal_.unwritten().rows == 0)
        return true;
    if (!since_.isValid())
        since_.start();
    if (!timeToAsk()) {
        timer_->start();
        return false;
    }
    const RunJournal::Unwritten u = journal_.unwritten();
    const QString text =
        QStringLiteral("%1 rows of this recording are not written to %2 yet%3.\n\n"
                       "Wait while breezon tries again, save them in another file, or discard them?")
            .arg(u.rows)
            .arg(u.file, u.why.isEmpty() ? QString() : QStringLiteral(": ") + u.why);
    const int answer = dialogs().ask(&window_, QStringLiteral("breezon"), text,
                                     {QStringLiteral("Wait and retry"), QStringLiteral("Save them elsewhere\u2026"),
                                      QStringLiteral("Discard them")});
    asked_ = true;
    since_.restart();
    if (journal_.unwritten().rows == 0) // written while the user read
        return true;
    if (answer == 2) {
        approved_ = true;
        return true;
    }
    if (answer == 1) {
        const QString path = dialogs().savePath(&window_, QStringLiteral("Breezon recording (*.breezon)"), true);
        if (!path.isEmpty())
            journal_.divertUnwritten(path);
    }
    timer_->start();
    return false;
}
