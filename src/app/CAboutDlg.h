// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

// "About breezon": the icon, the version line and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
