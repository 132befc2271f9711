// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_save
// Saving the 24-megapixel photo, as the editor holds it (8-bit RGBA), in
// each format: drawing the bitmap, encoding and the atomic write. The
// counter "bytes" is the size of the written file. bench/compare.sh sets
// the same saves next to libjpeg-turbo, OpenCV, libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "render/ImageTools.h"

namespace lumetra::bench {
namespace {

const QImage& PhotoAsShown() {
    static const QImage image =
        ReadImageFile(PhotoJpegPath()).image.toQImage().convertToFormat(QImage::Format_RGBA8888);
    return image;
}

void Save(benchmark::State& state, int formatIndex, double quality, const char* extension) {
    const QImage& photo = PhotoAsShown();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.") + extension);
    for (auto _ : state) {
        if (!ImageTools::SaveImage(photo, path, formatIndex, quality)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}

BENCHMARK_CAPTURE(Save, Jpeg80, 0, 0.8, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Png, 5, 0.8, "png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Tiff, 6, 0.8, "tiff")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Gif, 8, 0.8, "gif")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Jpeg2000At80, 3, 0.8, "jp2")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Bmp, 9, 0.8, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumetra::bench
