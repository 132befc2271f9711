// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_effects --benchmark_repetitions=3
// Each effect filter at the panel's defaults on the 24-megapixel float frame,
// and the rotation by 45 degrees; bench/compare.sh sets the same jobs next
// to OpenCV, libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "render/BufferPool.h"

namespace lumetra::bench {
namespace {

void Run(benchmark::State& state, const char* checkBox) {
    const Image& photo = PhotoAsFloat();
    // The pool keeps two frames: left with another effect's sizes it would
    // drop this effect's frames (the rotated canvas is larger) at every run.
    ReleaseCachedBuffers();
    { Image warm = RunStage(photo, checkBox); }  // the frames the pass recycles
    for (auto _ : state) {
        Image out = RunStage(photo, checkBox);
        benchmark::DoNotOptimize(out.row(0));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(photo.pixelCount()));
}

// Each stage at the panel's defaults, switched on by its check box, run by
// the pipeline as a pass runs it.
#define LUMETRA_EFFECT(name, checkBox)     \
    BENCHMARK_CAPTURE(Run, name, checkBox) \
        ->Unit(benchmark::kMillisecond)    \
        ->UseRealTime()                    \
        ->MeasureProcessCPUTime()

LUMETRA_EFFECT(Cartoon, "checkCartoon");
LUMETRA_EFFECT(OilPaint, "checkOilPainting");
LUMETRA_EFFECT(Vignette, "checkVignette");
LUMETRA_EFFECT(Pixelate, "checkPixellate");
LUMETRA_EFFECT(Halftone, "checkHalftone");
LUMETRA_EFFECT(Blur, "checkBlur");
LUMETRA_EFFECT(CircleBlur, "checkCircleBlur");
LUMETRA_EFFECT(FocusBlur, "checkFocusBlur");
LUMETRA_EFFECT(MotionBlur, "checkMotionBlur");
LUMETRA_EFFECT(ZoomBlur, "checkZoomBlur");
LUMETRA_EFFECT(Transform3D, "check3DTransform");  // a slight perspective tilt
LUMETRA_EFFECT(Swirl, "checkSwirl");
LUMETRA_EFFECT(GlassSphere, "checkGlassSphere");
LUMETRA_EFFECT(Rotate45, "checkRotate");

}  // namespace
}  // namespace lumetra::bench
