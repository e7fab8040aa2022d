// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reading list pane: a grid-lined table over the compact row model,
// one row per sample, always scrolled to the newest row.

#include "Reading.h"
#include "ReadingListModel.h"

#include <QWidget>

class QTableView;

class Clist : public QWidget {
    Q_OBJECT
public:
    explicit Clist(QWidget *parent = nullptr);

    // The one-time build over the pane's client size.
    void initialUpdate(QSize client);

    // Appends a row stamped with its time and numbered by its recording
    // (its index when negative); shows it as the newest.
    void addRow(const Reading &row, const Timestamp &time = Timestamp::now(), int seq = -1);

    // The face the exports and RESET use.
    int itemCount() const { return model_.itemCount(); }
    QString cellText(int row, int column) const { return model_.cellText(row, column); }
    void deleteAll() { model_.deleteAll(); }
    // Rows added between these reach the table as one change (a reopened
    // recording); the newest is shown at the end.
    void beginAppending() { model_.beginAppending(); }
    void endAppending();

    const ReadingListModel &model() const { return model_; }
    QTableView *table() const { return table_; }

private:
    ReadingListModel model_;
    QTableView *table_ = nullptr;
};
