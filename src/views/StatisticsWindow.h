// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Statistics window: a small window beside the main one that shows the
// run's statistics (see RunStatistics.h) for the whole recording and for
// the page the graph shows, kept up to date while it is open, and copies
// them as text. The whole recording's are counted by a sink of the graph
// view's session from the start, live rows and a reopened recording alike;
// RESET clears them. The page's are counted from the list's rows when shown
// (at most one page of them).
//
// The text is refreshed a few times a second while the window is open and
// only when something changed, never once per row: a row costs the
// user-interface thread only its counting.

#include "RunStatistics.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class Cwave;
class QPlainTextEdit;
class QTimer;
class ReadingListModel;

class StatisticsWindow : public QDialog {
    Q_OBJECT
public:
    StatisticsWindow(Cwave &wave, const ReadingListModel &rows, QWidget *parent = nullptr);
    ~StatisticsWindow() override;

    // Shows the window (it keeps its place when open already).
    void present();

    const RunStatistics &whole() const;
    // The rows of the page the graph shows: the page's own samples, without
    // the next page's first one that closes its curves.
    RunStatistics page() const;
    // What the window shows and copies.
    QString text() const;

    // Shows the present numbers, when they changed since last shown.
    void refresh();
    // Puts text() on the clipboard.
    void copy();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Counted;
    Cwave &wave_;
    const ReadingListModel &rows_;
    std::shared_ptr<Counted> counted_; // shared with the sink, which the session owns
    QPlainTextEdit *view_ = nullptr;
    QTimer *refresher_ = nullptr;
    QString shownKey_; // what the shown text was made from
};
