// SPDX-License-Identifier: GPL-3.0-or-later
// One main for every test program: a QApplication on the offscreen platform
// (widget tests need one; the others do not mind), then GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
