// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark entry: a real application object on the offscreen platform, so
// benchmarks measure the real widgets.
#include "editor/platform/Application.h"

#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    cApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
