// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two-pane splitter that never moves: its handle takes no mouse input
// and shows no resize cursor.

#include <QSplitter>

class CSplitOverride : public QSplitter {
    Q_OBJECT
public:
    explicit CSplitOverride(QWidget *parent = nullptr);

protected:
    QSplitterHandle *createHandle() override;
};
