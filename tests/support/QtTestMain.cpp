// SPDX-License-Identifier: GPL-3.0-or-later
// One main for every test program: a QApplication on the offscreen platform
// (widget tests need one; the others do not mind), then GoogleTest. The
// window's profile (its recent-file list) goes to a folder of the run's own,
// never to the user's.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QTemporaryDir profile;
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, profile.path());
    return RUN_ALL_TESTS();
}
