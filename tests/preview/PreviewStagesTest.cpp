// SPDX-License-Identifier: GPL-3.0-or-later
// The preview looks like the full result scaled down: every stage rendered
// on a reduced copy with its pixel measures scaled, against the full render
// reduced to the same size. A parameter left unscaled shows here as a large
// difference.
#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <functional>

#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFields.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

constexpr double kScale = 0.25;

Image Reduce(const Image& image, int width, int height) {
    return ImageTools::ResizeImage(image, width, height);
}

// Mean absolute difference in 8-bit levels over the premultiplied colours
// and alpha (a transparent pixel's colour does not count).
double MeanLevels(const Image& a, const Image& b) {
    if (a.width() != b.width() || a.height() != b.height()) return 1e9;
    const Image fa = a.toFloat(), fb = b.toFloat();
    double sum = 0.0;
    for (int y = 0; y < fa.height(); ++y) {
        const float* p = fa.row(y);
        const float* q = fb.row(y);
        for (int x = 0; x < fa.width(); ++x) {
            for (int c = 0; c < 3; ++c)
                sum += std::abs(p[4 * x + c] * p[4 * x + 3] - q[4 * x + c] * q[4 * x + 3]);
            sum += std::abs(p[4 * x + 3] - q[4 * x + 3]);
        }
    }
    return sum * 255.0 / (4.0 * double(fa.width()) * double(fa.height()));
}

// One stage: its check box, two settings beside the defaults, and the mean
// difference it is held to (2 levels, or what a stage that cannot scale
// exactly reaches).
struct StageCase {
    const char* checkBox;
    std::function<void(EditSettings&)> first, second;
    double tolerance = 2.0;
};

const std::vector<StageCase>& Stages() {
    static const std::vector<StageCase> stages = {
        {"checkBlackWhite", [](EditSettings&) {}, [](EditSettings&) {}},
        {"checkSepia", [](EditSettings& s) { s.sliderSepiaIntensity = 0.4f; },
         [](EditSettings& s) { s.sliderBrightness = 0.2f; }},
        {"checkCartoon", [](EditSettings& s) { s.sliderCartoonBlur = 6.f; },
         [](EditSettings& s) { s.sliderCartoonThreshold = 0.5f; }},
        // The brush's quadrants are whole pixels on the copy's coarser grid
        // (reached 2.8 levels at radius 8).
        {"checkOilPainting", [](EditSettings& s) { s.sliderOilPaintingIntensity = 8.f; },
         [](EditSettings& s) { s.sliderOilPaintingIntensity = 2.f; }, 3.0},
        {"checkVignette", [](EditSettings& s) { s.sliderVignetteRadius = -0.2f; },
         [](EditSettings& s) { s.sliderVignetteRadius = 0.2f; }},
        {"checkPixellate", [](EditSettings& s) { s.sliderPixellatePixelSize = 0.05f; },
         [](EditSettings& s) { s.sliderPixellatePixelSize = 0.1f; }},
        // Hard-edged dots in cells of a few pixels on the copy (4.8 at the
        // defaults): their edges cannot fall where they fall on the full
        // picture (reached 6.9 levels at the defaults, 2.4 and 1.2 with
        // larger dots).
        {"checkHalftone", [](EditSettings& s) { s.sliderHalftoneDotSize = 0.05f; },
         [](EditSettings& s) { s.sliderHalftoneDotSize = 0.1f; }, 8.0},
        {"checkBlur", [](EditSettings& s) { s.sliderBlurIntensity = 80.f; },
         [](EditSettings& s) { s.sliderBlurIntensity = 12.f; }},
        {"checkCircleBlur", [](EditSettings& s) { s.sliderCircleBlurIntensity = 40.f; },
         [](EditSettings& s) { s.sliderCircleBlurRadius = 0.6f; }},
        {"checkFocusBlur", [](EditSettings& s) { s.sliderFocusBlurIntensity = 70.f; },
         [](EditSettings& s) { s.sliderFocusBlurRadius = 0.3f; }},
        {"checkMotionBlur", [](EditSettings& s) { s.sliderMotionBlurIntensity = 90.f; },
         [](EditSettings& s) { s.sliderMotionBlurAngle = 60.f; }},
        {"checkZoomBlur", [](EditSettings& s) { s.sliderZoomBlurIntensity = 4.f; },
         [](EditSettings& s) { s.sliderZoomBlurIntensity = 8.f; }},
        {"check3DTransform",
         [](EditSettings& s) {
             s.stepper3DTransformM12 = 0.2f;
             s.stepper3DTransformM14 = 0.1f;
         },
         [](EditSettings& s) { s.stepper3DTransformM11 = 0.7f; }},
        {"checkRotate", [](EditSettings& s) { s.sliderRotateAngle = 30.f; },
         [](EditSettings& s) { s.sliderRotateAngle = -135.f; }},
        {"checkSwirl", [](EditSettings& s) { s.sliderSwirlAngle = 3.f; },
         [](EditSettings& s) { s.sliderSwirlRadius = 0.8f; }},
        {"checkGlassSphere", [](EditSettings& s) { s.sliderGlassSphereRadius = 0.4f; },
         [](EditSettings& s) { s.sliderGlassSphereRefraction = 1.4f; }},
        {"checkTextWatermark",
         [](EditSettings& s) {
             s.stepperTextFontSize = 160.f;
             s.checkTextShadow = 1;
             s.stepperTextXOffset = 60.f;
             s.stepperTextYOffset = 40.f;
         },
         [](EditSettings& s) {
             s.checkTextStroke = 1;
             s.comboTextPosition = 4;
             s.stepperTextFontSize = 200.f;
         }},
        {"checkImageWatermark",
         [](EditSettings& s) {
             s.stepperImageScale = 300.f;
             s.stepperImageXOffset = 80.f;
         },
         [](EditSettings& s) {
             s.comboImagePosition = 2;
             s.stepperImageYOffset = 100.f;
         }},
    };
    return stages;
}

TEST(PreviewStages, EachStageOnTheReducedCopyLooksLikeTheFullResultReduced) {
    const Image full = Image::FromQImage(test::PhotoLike(960, 640));
    const Image copy = Reduce(full, int(960 * kScale), int(640 * kScale));
    const Image logo = Image::FromQImage(test::PhotoLike(120, 60, true));
    for (const StageCase& stage : Stages()) {
        const FieldSpec* check = FindField(stage.checkBox);
        ASSERT_NE(check, nullptr) << stage.checkBox;
        const std::function<void(EditSettings&)> variants[] = {[](EditSettings&) {}, stage.first,
                                                               stage.second};
        for (int v = 0; v < 3; ++v) {
            EditSettings settings;
            SetField(settings, *check, 1);
            variants[v](settings);
            const Image fullResult = RenderPipeline(full, settings, logo);
            RenderControl control;
            control.scale = kScale;
            const Image preview = RenderPipeline(copy, settings, logo, control);
            ASSERT_FALSE(preview.isEmpty()) << stage.checkBox;
            const double difference =
                MeanLevels(preview, Reduce(fullResult, preview.width(), preview.height()));
            EXPECT_LE(difference, stage.tolerance)
                << stage.checkBox << ", settings " << v << ": " << difference << " levels";
            // The preview's canvas is the full canvas reduced.
            EXPECT_NEAR(preview.width(), fullResult.width() * kScale, 1.5) << stage.checkBox;
        }
    }
}

TEST(PreviewStages, AStopRequestEndsAPassWithoutAResult) {
    // Within a stage: raised before it, no band runs; raised by the first
    // band, only the bands already begun on the other threads finish.
    for (const bool before : {true, false}) {
        std::atomic<bool> raised{before};
        const StopScope scope(&raised);
        std::atomic<int> bands{0};
        ParallelBands(4000, 6000, [&](int, int) {
            ++bands;
            raised = true;
        });
        if (before)
            EXPECT_EQ(bands.load(), 0);
        else
            EXPECT_LE(bands.load(), std::max(1, WorkerThreads()));
    }
    const Image full = Image::FromQImage(test::PhotoLike(400, 300));
    EditSettings settings;
    settings.checkBlur = 1;
    std::atomic<bool> stop{true};
    RenderControl control;
    control.stop = &stop;
    EXPECT_TRUE(RenderPipeline(full, settings, Image(), control).isEmpty());
    stop = false;
    EXPECT_FALSE(RenderPipeline(full, settings, Image(), control).isEmpty());
}

}  // namespace
}  // namespace lumetra
