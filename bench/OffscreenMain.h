// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main of every benchmark that needs widgets: an offscreen
// QApplication around Google Benchmark's own run.

#include "BenchSupport.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runInOffscreenApplication(int argc, char **argv)
{
    useOffscreenPlatform();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
