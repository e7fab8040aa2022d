// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Closing the window while rows of its journal wait to be written (a full
// disk, a folder gone) asks what to become of them, with their count: wait
// while writing is tried again, save them in another file, or discard
// them. The window stays open until they are written or the user has
// chosen. The user-interface thread never waits for the disk meanwhile: it
// looks again a few times a second. A row being written as the window
// closes is waited for without a question.

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class QWidget;
class RunJournal;

class CloseGuard : public QObject {
public:
    CloseGuard(QWidget &window, RunJournal &journal);
    // From the window's close event: true when it may close now; else it
    // stays, and is closed again once the rows are written or it is time
    // to ask (again).
    bool mayClose();

private:
    bool timeToAsk() const;
    void look();

    QWidget &window_;
    RunJournal &journal_;
    QTimer *timer_;
    QElapsedTimer since_; // since the first try to close, or the last answer
    bool asked_ = false;
    bool approved_ = false;
};
