// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of a Qt Widgets program's start-up: an empty main window, shown.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.show();
    return application.exec();
}
