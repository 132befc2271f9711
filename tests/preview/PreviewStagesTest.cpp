// SPDX-License-Identifier: GPL-3.0-or-later
// Every stage on a reduced copy against the full render reduced; a stop
// request ends a pass; the scheduler's order of previews, passes and
// thumbnails, and nothing of a put-away photo shown.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFields.h"
#include "support/SchedulerHarness.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

constexpr double kScale = 0.25;

// Mean absolute difference in 8-bit levels over premultiplied RGBA.
double MeanLevels(const Image& a, const Image& b) {
    const Image fa = a.toFloat(), fb = b.toFloat();
    double sum = 0.0;
    for (int y = 0; y < fa.height(); ++y)
        for (int i = 0; i < 4 * fa.width(); ++i) {
            const float* p = fa.row(y) + i / 4 * 4;
            const float* q = fb.row(y) + i / 4 * 4;
            sum += i % 4 == 3 ? std::abs(p[3] - q[3]) : std::abs(p[i % 4] * p[3] - q[i % 4] * q[3]);
        }
    return sum * 255.0 / (4.0 * double(fa.width()) * double(fa.height()));
}

// A stage's box, settings that move its pixel measures, and the mean
// difference it is held to (2 levels unless it cannot scale exactly).
struct StageCase {
    const char* checkBox;
    std::function<void(EditSettings&)> set;
    double tolerance = 2.0;
};

using S = EditSettings;
const StageCase kStages[] = {
    {"checkBlackWhite", [](S&) {}},
    {"checkSepia", [](S& s) { s.sliderSepiaIntensity = 0.4f, s.sliderBrightness = 0.2f; }},
    {"checkCartoon", [](S& s) { s.sliderCartoonBlur = 6.f, s.sliderCartoonThreshold = 0.5f; }},
    // Whole-pixel quadrants on the copy's coarser grid (2.8 levels reached).
    {"checkOilPainting", [](S& s) { s.sliderOilPaintingIntensity = 8.f; }, 3.0},
    {"checkVignette", [](S& s) { s.sliderVignetteRadius = -0.2f; }},
    {"checkPixellate", [](S& s) { s.sliderPixellatePixelSize = 0.05f; }},
    // Hard-edged dots in cells of a few pixels (6.9 levels reached).
    {"checkHalftone", [](S& s) { s.sliderHalftoneDotSize = 0.05f; }, 8.0},
    {"checkBlur", [](S& s) { s.sliderBlurIntensity = 80.f; }},
    {"checkCircleBlur",
     [](S& s) { s.sliderCircleBlurIntensity = 40.f, s.sliderCircleBlurRadius = 0.6f; }},
    {"checkFocusBlur",
     [](S& s) { s.sliderFocusBlurIntensity = 70.f, s.sliderFocusBlurRadius = 0.3f; }},
    {"checkMotionBlur",
     [](S& s) { s.sliderMotionBlurIntensity = 90.f, s.sliderMotionBlurAngle = 60.f; }},
    {"checkZoomBlur", [](S& s) { s.sliderZoomBlurIntensity = 8.f; }},
    {"check3DTransform",
     [](S& s) {
         s.stepper3DTransformM11 = 0.7f, s.stepper3DTransformM12 = 0.2f,
         s.stepper3DTransformM14 = 0.1f;
     }},
    {"checkRotate", [](S& s) { s.sliderRotateAngle = -135.f; }},
    {"checkSwirl", [](S& s) { s.sliderSwirlAngle = 3.f, s.sliderSwirlRadius = 0.8f; }},
    {"checkGlassSphere",
     [](S& s) { s.sliderGlassSphereRadius = 0.4f, s.sliderGlassSphereRefraction = 1.4f; }},
    {"checkTextWatermark",
     [](S& s) {
         s.stepperTextFontSize = 160.f, s.checkTextShadow = 1, s.checkTextStroke = 1;
         s.stepperTextXOffset = 60.f, s.stepperTextYOffset = 40.f;
     }},
    {"checkImageWatermark",
     [](S& s) {
         s.stepperImageScale = 300.f, s.stepperImageXOffset = 80.f, s.stepperImageYOffset = 100.f;
     }},
};

TEST(PreviewStages, EachStageOnTheReducedCopyLooksLikeTheFullResultReduced) {
    const Image full = Image::FromQImage(test::PhotoLike(960, 640));
    const Image copy = ImageTools::ResizeImage(full, int(960 * kScale), int(640 * kScale));
    const Image logo = Image::FromQImage(test::PhotoLike(120, 60, true));
    for (const StageCase& stage : kStages) {
        for (const bool moved : {false, true}) {
            EditSettings settings;
            SetField(settings, *FindField(stage.checkBox), 1);
            if (moved) stage.set(settings);
            const Image fullResult = RenderPipeline(full, settings, logo);
            RenderControl control;
            control.scale = kScale;
            const Image preview = RenderPipeline(copy, settings, logo, control);
            ASSERT_NEAR(preview.width(), fullResult.width() * kScale, 1.5) << stage.checkBox;
            const double difference = MeanLevels(
                preview, ImageTools::ResizeImage(fullResult, preview.width(), preview.height()));
            EXPECT_LE(difference, stage.tolerance)
                << stage.checkBox << (moved ? ", moved: " : ", defaults: ") << difference;
        }
    }
}

TEST(PreviewStages, AStopRequestEndsAPassWithoutAResult) {
    // Raised before a stage, no band runs; by its first band, only those begun.
    for (const bool before : {true, false}) {
        std::atomic<bool> raised{before};
        const StopScope scope(&raised);
        std::atomic<int> bands{0};
        ParallelBands(4000, 6000, [&](int, int) {
            ++bands;
            raised = true;
        });
        EXPECT_LE(bands.load(), before ? 0 : std::max(1, WorkerThreads())) << before;
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

using Harness = test::SchedulerHarness;

TEST(PreviewScheduler, ThePreviewComesFirstAndTheNewestRequestIsRenderedNext) {
    Harness h(true);
    h.scheduler.Request();  // preview 1 starts
    EXPECT_TRUE(h.scheduler.updating());
    EXPECT_FALSE(h.scheduler.fullPassRunning());
    for (const float b : {2.f, 3.f, 4.f}) {
        h.brightness = b;
        h.scheduler.Request();
    }
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.LastPreviewWidth(), 1);  // shown though newer requests wait
    ASSERT_TRUE(h.Step());
    ASSERT_EQ(h.previews.count(), 2) << "the requests that waited were not merged into one";
    EXPECT_EQ(h.LastPreviewWidth(), 4);
    EXPECT_TRUE(h.scheduler.fullPassRunning());
    h.brightness = 7.f;  // during the full pass: its preview comes first
    h.scheduler.Request();
    ASSERT_TRUE(h.Step());
    EXPECT_FALSE(h.LastPass().second);
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.LastPreviewWidth(), 7);
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.LastPass(), std::make_pair(QSize(7, 2), true));
    EXPECT_EQ(h.finished.count(), 2);
    EXPECT_FALSE(h.scheduler.updating());
}

TEST(PreviewScheduler, ThumbnailsWaitForPreviewsAndPassesAndDelayThemByOneAtMost) {
    Harness h(true);
    EditSettings look;
    look.sliderBrightness = 2.f;  // the thumbnail's width in the harness
    for (const char* key : {"a", "b", "c"}) h.scheduler.RequestThumbnail(key, look, Image());
    ASSERT_FALSE(h.scheduler.updating());
    h.scheduler.Request();  // while thumbnail "a" renders
    ASSERT_TRUE(h.Step());
    ASSERT_EQ(h.thumbnails.count(), 1);
    EXPECT_EQ(h.thumbnails.last().at(0).toString(), "a");
    ASSERT_TRUE(h.Step());  // the preview comes before the other thumbnails
    EXPECT_EQ(h.previews.count(), 1);
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.finished.count(), 1);
    ASSERT_TRUE(h.Step());
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.thumbnails.count(), 3);
    EXPECT_EQ(h.thumbnails.last().at(0).toString(), "c");
}

// New while a preview or a thumbnail renders: nothing of it comes back, and
// without a reduced copy the next request renders the full pass only.
TEST(PreviewScheduler, NothingOfAPutAwayPhotoIsShown) {
    EditSettings look;
    for (const bool thumbnail : {false, true}) {
        Harness h(true);
        thumbnail ? h.scheduler.RequestThumbnail("a", look, Image()) : h.scheduler.Request();
        if (thumbnail) h.scheduler.RequestThumbnail("b", look, Image());
        h.scheduler.DiscardRunning();
        EXPECT_FALSE(h.scheduler.previewSource().ok());
        EXPECT_FALSE(h.scheduler.updating());
        h.scheduler.Request();  // the next photo's, after the put-away job
        EXPECT_FALSE(h.scheduler.fullPassRunning());
        h.gate.release();  // the put-away job ends without a word
        ASSERT_TRUE(h.Step());
        EXPECT_EQ(h.previews.count() + h.thumbnails.count(), 0);
        ASSERT_EQ(h.finished.count(), 1);
        EXPECT_TRUE(h.LastPass().second);
    }
}

}  // namespace
}  // namespace lumetra
