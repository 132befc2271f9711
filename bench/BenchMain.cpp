// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of every benchmark executable: fonts and picture plug-ins
// without windows, then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
