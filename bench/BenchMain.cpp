// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of every benchmark executable: an application on the
// offscreen platform (fonts, picture plug-ins, and widgets for the editor
// benchmark), then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
