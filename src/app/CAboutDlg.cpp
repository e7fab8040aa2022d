// SPDX-License-Identifier: GPL-3.0-or-later
#include "CAboutDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

// Dialog units of an 8-point dialog font, turned into pixels.
static int dluX(int x) { return x * 6 / 4; }
static int dluY(int y) { return y * 13 / 8; }

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About breezon"));
    setModal(true);
    setFixedSize(dluX(235), dluY(55));

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    icon->move(dluX(11), dluY(17));

    auto *text = new QLabel(QStringLiteral("breezon Version 1.0"), this);
    text->setObjectName(QStringLiteral("version"));
    text->setGeometry(dluX(40), dluY(10), dluX(119), dluY(8) + 2);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(dluX(178), dluY(7), dluX(50), dluY(16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
