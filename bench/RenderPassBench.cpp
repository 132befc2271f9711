// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_render_pass --benchmark_min_time=2
// DecodeJpeg against DecodeJpegWithQt: our libjpeg-turbo reader against Qt's.
// Compare each colour adjustment's bytes per second with Memcpy's: both read
// and write one 24-megapixel float frame.
#include <benchmark/benchmark.h>

#include <QImageReader>
#include <cstring>
#include <functional>

#include "BenchSupport.h"
#include "files/ImageReader.h"
#include "files/RenderJob.h"
#include "render/BufferPool.h"
#include "render/ImageTools.h"

namespace lumetra::bench {
namespace {

void DecodeJpeg(benchmark::State& state) {
    const QString& path = PhotoJpegPath();
    for (auto _ : state) {
        ReadResult read = ReadImageFile(path);
        benchmark::DoNotOptimize(read.image.width());
    }
}
BENCHMARK(DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same photo through Qt's JPEG plug-in, as the reader used to decode it
// (turned upright by Qt, then wrapped as the engine's picture): the
// yardstick of the libjpeg-turbo decoder above.
void DecodeJpegWithQt(benchmark::State& state) {
    const QString& path = PhotoJpegPath();
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        reader.setAutoTransform(true);
        Image image = Image::FromQImage(reader.read());
        if (image.isEmpty()) state.SkipWithError("Qt could not decode the photo");
        benchmark::DoNotOptimize(image.width());
    }
}
BENCHMARK(DecodeJpegWithQt)->Unit(benchmark::kMillisecond)->UseRealTime();

void RenderPassAtDefaults(benchmark::State& state) {
    const QString& path = PhotoJpegPath();
    const EditSettings defaults;
    for (auto _ : state) {
        RenderResult result = RunRenderPass(path, defaults, Image());
        if (!result.ok()) state.SkipWithError("pass failed");
        benchmark::DoNotOptimize(result.image.constBits());
    }
}
BENCHMARK(RenderPassAtDefaults)->Unit(benchmark::kMillisecond)->UseRealTime();

void Memcpy(benchmark::State& state) {
    const Image& photo = PhotoAsFloat();
    const std::size_t bytes = photo.pixelCount() * 4 * sizeof(float);
    Image target = Image::CreateUninitialised(photo.width(), photo.height());
    std::memset(target.row(0), 0, bytes);  // fault the pages in before timing
    for (auto _ : state) {
        std::memcpy(target.row(0), photo.row(0), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes) * 2);
}
BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

void Colour(benchmark::State& state, const std::function<Image(const Image&)>& op) {
    const Image& photo = PhotoAsFloat();
    const std::size_t bytes = photo.pixelCount() * 4 * sizeof(float);
    { Image warm = op(photo); }  // the frame the pass recycles
    for (auto _ : state) {
        Image out = op(photo);
        benchmark::DoNotOptimize(out.row(0));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes) * 2);
}

BENCHMARK_CAPTURE(Colour, Brightness,
                  [](const Image& i) { return ImageTools::BrightnessImage(i, 0.1f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Exposure,
                  [](const Image& i) { return ImageTools::ExposureImage(i, 0.5f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Contrast,
                  [](const Image& i) { return ImageTools::ContrastImage(i, 1.3f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Saturation,
                  [](const Image& i) { return ImageTools::SaturationImage(i, 1.4f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Gamma, [](const Image& i) { return ImageTools::GammaImage(i, 1.8f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Hue, [](const Image& i) { return ImageTools::HueImage(i, 45.f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, RGB,
                  [](const Image& i) { return ImageTools::RGBImage(i, 0.9f, 1.f, 1.2f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Grayscale, [](const Image& i) { return ImageTools::GrayscaleImage(i); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Colour, Sepia, [](const Image& i) { return ImageTools::SepiaImage(i, 0.8f); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace lumetra::bench
