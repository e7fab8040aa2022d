// SPDX-License-Identifier: GPL-3.0-or-later
// One main for every test program: a QApplication on the offscreen platform
// (widget tests need one; the others do not mind), then GoogleTest. Every
// test program, and every program it starts, keeps its recordings and
// settings in a folder of its own, never in the user's.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", qPrintable(home.filePath(QStringLiteral("data"))), 1);
    setenv("XDG_CONFIG_HOME", qPrintable(home.filePath(QStringLiteral("config"))), 1);
    unsetenv("STATE_DIRECTORY");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
