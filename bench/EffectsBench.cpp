// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_effects --benchmark_repetitions=3
// Each effect filter at the panel's defaults on the 24-megapixel float frame,
// and the rotation by 45 degrees; bench/compare.sh sets the same jobs next
// to OpenCV, libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include <functional>

#include "BenchSupport.h"
#include "editor/EditSettings.h"
#include "render/BufferPool.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"

namespace lumetra::bench {
namespace {

using Effect = std::function<Image(const Image&, const EditSettings&)>;

void Run(benchmark::State& state, const Effect& effect) {
    const Image& photo = PhotoAsFloat();
    const EditSettings defaults;
    // The pool keeps two frames: left with another effect's sizes it would
    // drop this effect's frames (the rotated canvas is larger) at every run.
    ReleaseCachedBuffers();
    { Image warm = effect(photo, defaults); }  // the frames the pass recycles
    for (auto _ : state) {
        Image out = effect(photo, defaults);
        benchmark::DoNotOptimize(out.row(0));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(photo.pixelCount()));
}

#define LUMETRA_EFFECT(name, body)                                                    \
    BENCHMARK_CAPTURE(Run, name, [](const Image& i, const EditSettings& s) { body; }) \
        ->Unit(benchmark::kMillisecond)                                               \
        ->UseRealTime()                                                               \
        ->MeasureProcessCPUTime()

LUMETRA_EFFECT(Cartoon,
               return ImageTools::CartoonImage(i, s.sliderCartoonBlur, s.sliderCartoonThreshold,
                                               s.sliderCartoonQuantization));
LUMETRA_EFFECT(OilPaint, return ImageTools::OilPaintImage(
                             i, OilPaintRadiusFromSlider(s.sliderOilPaintingIntensity)));
LUMETRA_EFFECT(Vignette, return ImageTools::VignetteImage(i, s.sliderVignetteRadius));
LUMETRA_EFFECT(Pixelate, return ImageTools::PixelateImage(i, s.sliderPixellatePixelSize));
LUMETRA_EFFECT(Halftone, return ImageTools::HalftoneImage(i, s.sliderHalftoneDotSize));
LUMETRA_EFFECT(Blur, return ImageTools::BlurImage(i, s.sliderBlurIntensity));
LUMETRA_EFFECT(CircleBlur, return ImageTools::CircleBlurImage(i, s.sliderCircleBlurIntensity,
                                                              s.sliderCircleBlurRadius));
LUMETRA_EFFECT(FocusBlur,
               return ImageTools::FocusBlurImage(i, s.sliderFocusBlurIntensity,
                                                 s.sliderFocusBlurRadius, s.sliderFocusBlurEdge));
LUMETRA_EFFECT(MotionBlur, return ImageTools::MotionBlurImage(i, s.sliderMotionBlurIntensity,
                                                              s.sliderMotionBlurAngle));
LUMETRA_EFFECT(ZoomBlur, return ImageTools::ZoomBlurImage(i, s.sliderZoomBlurIntensity));
// The identity returns its input; a slight perspective tilt does the work.
LUMETRA_EFFECT(Transform3D, Transform3D t = Transform3D::FromCells(TransformMatrixCells(s));
               t.m14 = 0.1; t.m12 = 0.05; return ImageTools::TransformImage(i, t));
LUMETRA_EFFECT(Swirl, return ImageTools::SwirlImage(i, s.sliderSwirlRadius, s.sliderSwirlAngle));
LUMETRA_EFFECT(GlassSphere, return ImageTools::GlassSphereImage(i, s.sliderGlassSphereRadius,
                                                                s.sliderGlassSphereRefraction));
LUMETRA_EFFECT(Rotate45, (void)s; return ImageTools::RotateImage(i, 45.0));

}  // namespace
}  // namespace lumetra::bench
