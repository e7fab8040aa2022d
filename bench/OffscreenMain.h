// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main of every benchmark that needs widgets: an offscreen
// QApplication around Google Benchmark's own run.

#include "BenchSupport.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace bench {

inline int runInOffscreenApplication(int argc, char **argv)
{
    useOffscreenPlatform();
    QApplication application(argc, argv);
    // The window's profile (its recent-file list) stays out of the user's.
    const QTemporaryDir profile;
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, profile.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
