// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_watermark
// The text and logo watermark stages on the 24-megapixel photo with the
// panel's default watermark settings, next to decoding the same photo: each
// stage should cost under 5% of the decode.
//   Stage/...:     as a pass runs it, on a working picture moved in (8-bit when
//                  no earlier stage changed the photo, float otherwise).
//   SharedPhoto/...: on a picture the caller keeps, so the frame is copied.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "files/ImageReader.h"
#include "files/RenderJob.h"
#include "render/FontFamilies.h"
#include "render/ImageTools.h"

namespace lumetra::bench {
namespace {

// The text stage as a pass calls it with the panel's defaults.
Image TextStage(Image image) {
    const EditSettings s;
    return ImageTools::TextWatermarkImage(
        std::move(image), s.textFieldText, ResolveFontFamily(s.comboTextFontType),
        double(s.stepperTextFontSize), s.colorWellTextColor, s.comboTextPosition,
        double(s.stepperTextYOffset), double(s.stepperTextXOffset),
        double(s.stepperTextOpacity / 100.f), s.checkTextShadow != 0, s.checkTextStroke != 0);
}

Image LogoStage(Image image) {
    const EditSettings s;
    return ImageTools::LogoWatermarkImage(
        std::move(image), Logo(), double(s.stepperImageScale / 100.f), s.comboImagePosition,
        double(s.stepperImageYOffset), double(s.stepperImageXOffset),
        double(s.stepperImageOpacity / 100.f));
}

// A working picture of the photo that no one else holds.
Image OwnedPhoto(bool asFloat) {
    Image image = asFloat ? PhotoAsFloat() : ReadImageFile(PhotoJpegPath()).image;
    image.detach();
    return image;
}

void DecodeJpeg(benchmark::State& state) {
    const QString& path = PhotoJpegPath();
    for (auto _ : state) {
        ReadResult read = ReadImageFile(path);
        benchmark::DoNotOptimize(read.image.width());
    }
}
BENCHMARK(DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each iteration watermarks the same owned picture again: the cost of one
// stage inside a pass.
template <Image (*StageFn)(Image)>
void Stage(benchmark::State& state) {
    Image work = OwnedPhoto(state.range(0) != 0);
    for (auto _ : state) {
        work = StageFn(std::move(work));
        benchmark::DoNotOptimize(work.width());
    }
    state.SetLabel(state.range(0) ? "float" : "8-bit");
}
BENCHMARK_TEMPLATE(Stage, TextStage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(Stage, LogoStage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

template <Image (*StageFn)(Image)>
void SharedPhoto(benchmark::State& state) {
    const Image photo = OwnedPhoto(false);
    for (auto _ : state) {
        Image out = StageFn(photo);
        benchmark::DoNotOptimize(out.width());
    }
}
BENCHMARK_TEMPLATE(SharedPhoto, TextStage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(SharedPhoto, LogoStage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole pass, at the defaults and with both watermarks switched on.
void RenderPass(benchmark::State& state) {
    EditSettings s;
    s.checkTextWatermark = int(state.range(0));
    s.checkImageWatermark = int(state.range(0));
    for (auto _ : state) {
        RenderResult result = RunRenderPass(PhotoJpegPath(), s, Logo());
        if (!result.ok()) state.SkipWithError("pass failed");
        benchmark::DoNotOptimize(result.image.constBits());
    }
    state.SetLabel(state.range(0) ? "both watermarks" : "defaults");
}
BENCHMARK(RenderPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumetra::bench
