// SPDX-License-Identifier: GPL-3.0-or-later
// The live preview on the real editor window (offscreen) with the
// 24-megapixel photo open:
// - one row per stage, named after its check box, and AllStages: from a
//   slider move to the preview on screen, the stage (or every stage) on at
//   its defaults;
// - LookThumbnails: ten looks' thumbnails of the photo, and a slider move
//   made while they render;
// - GaussianDrag: 30 steps of the Gaussian blur's slider, one every 16 ms:
//   the time from each step to a preview that includes it, and from the
//   drag's end to the full result, next to one full pass of the same
//   settings.
//
//   build/bin/bench_live_preview --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "BenchSupport.h"
#include "EditorControls.h"
#include "editor/ViewController.h"
#include "editor/widgets/FloatSlider.h"
#include "settings/SettingsFields.h"

namespace lumetra::bench {
namespace {

// Runs the event loop until `done` holds or a minute has passed.
template <class Done>
void RunUntil(ViewController& vc, Done done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QObject::connect(&vc, &ViewController::previewShown, &loop, [&] {
        if (done()) loop.quit();
    });
    QObject::connect(&vc, &ViewController::renderPassFinished, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    poll.start(1);
    if (!done()) loop.exec();
    if (!done()) throw std::runtime_error("the editor did not answer within a minute");
}

void WaitUntilIdle(ViewController& vc) {
    RunUntil(vc, [&] { return !vc.updating(); });
}

// The editor at a laptop's window size with the photo open and the stages
// switched on.
struct OpenEditor {
    explicit OpenEditor(const std::vector<const char*>& stages) {
        vc.resize(1400, 900);
        vc.viewDidLoad();
        vc.show();
        // LUMETRA_BENCH_NO_PREVIEW=1 runs the same rows with full passes
        // only, to compare memory and times.
        const bool preview = qEnvironmentVariableIsEmpty("LUMETRA_BENCH_NO_PREVIEW");
        vc.setLivePreview(preview);
        vc.LoadOriginalImage(PhotoJpegPath());
        if (preview && !vc.HasPreviewCopy())
            throw std::runtime_error("the photo has no reduced copy");
        const EditSettings defaults;
        EditSettings settings = defaults;
        for (const char* box : stages) SetField(settings, *FindField(box), 1);
        settings.stepper3DTransformM12 = 0.05f;  // the identity would do nothing
        settings.stepper3DTransformM14 = 0.1f;
        settings.sliderRotateAngle = 30.f;
        vc.ApplySettings(settings);
        WaitUntilIdle(vc);
        vc.UpdateImageEffect();
        WaitUntilIdle(vc);
    }
    ViewController vc;
};

void SliderToPreview(benchmark::State& state, std::vector<const char*> stages) {
    OpenEditor editor(stages);
    ViewController& vc = editor.vc;
    FloatSlider* brightness = ControlNamed<FloatSlider>(vc, "sliderBrightness");
    int shown = 0;
    QObject::connect(&vc, &ViewController::previewShown, [&] { ++shown; });
    if (!vc.HasPreviewCopy())  // full passes only: the result on screen counts
        QObject::connect(&vc, &ViewController::renderPassFinished, [&] {
            if (!vc.updating()) ++shown;
        });
    float value = 0.02f;
    for (auto _ : state) {
        value = -value;
        const int before = shown;
        QElapsedTimer timer;
        timer.start();
        brightness->moveTo(value);  // as the user's move: the handler asks for a render
        RunUntil(vc, [&] { return shown > before; });
        const QPixmap painted = vc.grab();  // the window drawn with the preview
        benchmark::DoNotOptimize(painted);
        state.SetIterationTime(double(timer.nsecsElapsed()) * 1e-9);
    }
    WaitUntilIdle(vc);
}

#define LUMETRA_STAGE_ROW(box)                      \
    BENCHMARK_CAPTURE(SliderToPreview, box, {#box}) \
        ->UseManualTime()                           \
        ->Unit(benchmark::kMillisecond)             \
        ->Iterations(10)
LUMETRA_STAGE_ROW(checkBlackWhite);
LUMETRA_STAGE_ROW(checkSepia);
LUMETRA_STAGE_ROW(checkCartoon);
LUMETRA_STAGE_ROW(checkOilPainting);
LUMETRA_STAGE_ROW(checkVignette);
LUMETRA_STAGE_ROW(checkPixellate);
LUMETRA_STAGE_ROW(checkHalftone);
LUMETRA_STAGE_ROW(checkBlur);
LUMETRA_STAGE_ROW(checkCircleBlur);
LUMETRA_STAGE_ROW(checkFocusBlur);
LUMETRA_STAGE_ROW(checkMotionBlur);
LUMETRA_STAGE_ROW(checkZoomBlur);
LUMETRA_STAGE_ROW(check3DTransform);
LUMETRA_STAGE_ROW(checkRotate);
LUMETRA_STAGE_ROW(checkSwirl);
LUMETRA_STAGE_ROW(checkGlassSphere);
LUMETRA_STAGE_ROW(checkTextWatermark);
LUMETRA_STAGE_ROW(checkImageWatermark);
BENCHMARK_CAPTURE(SliderToPreview, AllStages,
                  {"checkBlackWhite", "checkSepia", "checkCartoon", "checkOilPainting",
                   "checkVignette", "checkPixellate", "checkHalftone", "checkBlur",
                   "checkCircleBlur", "checkFocusBlur", "checkMotionBlur", "checkZoomBlur",
                   "check3DTransform", "checkRotate", "checkSwirl", "checkGlassSphere",
                   "checkTextWatermark", "checkImageWatermark"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void GaussianDrag(benchmark::State& state) {
    OpenEditor editor({"checkBlur"});
    ViewController& vc = editor.vc;
    FloatSlider* radius = ControlNamed<FloatSlider>(vc, "sliderBlurIntensity");
    // One full pass of these settings, for the yardstick.
    QElapsedTimer pass;
    pass.start();
    vc.UpdateImageEffect();
    WaitUntilIdle(vc);
    // The full pass alone, without the preview before it.
    const double onePass = double(pass.nsecsElapsed()) * 1e-6;

    std::vector<qint64> moves;  // when each step was made, ns since the drag began
    std::vector<double> waits;  // from each step to a preview that includes it
    QElapsedTimer clock;
    for (auto _ : state) {
        moves.clear();
        waits.clear();
        std::size_t answered = 0;
        auto connection = QObject::connect(&vc, &ViewController::previewShown, [&] {
            // The preview on screen includes every step made before its
            // render started, at the latest the one just before now.
            const qint64 now = clock.nsecsElapsed();
            for (; answered < moves.size(); ++answered)
                waits.push_back(double(now - moves[answered]) * 1e-6);
        });
        clock.start();
        for (int step = 0; step < 30; ++step) {
            const qint64 at = qint64(step) * 16'000'000;
            RunUntil(vc, [&] { return clock.nsecsElapsed() >= at; });
            moves.push_back(clock.nsecsElapsed());
            radius->moveTo(20.f + float(step));
        }
        const qint64 dragEnd = clock.nsecsElapsed();
        WaitUntilIdle(vc);
        const double fullAfterDrag = double(clock.nsecsElapsed() - dragEnd) * 1e-6;
        QObject::disconnect(connection);
        state.SetIterationTime(fullAfterDrag * 1e-3);
        std::sort(waits.begin(), waits.end());
        state.counters["one_pass_ms"] = onePass;
        state.counters["full_after_drag_x"] = fullAfterDrag / onePass;
        state.counters["steps_previewed"] = double(waits.size());
        state.counters["step_to_preview_median_ms"] = waits.empty() ? 0 : waits[waits.size() / 2];
        state.counters["step_to_preview_max_ms"] = waits.empty() ? 0 : waits.back();
    }
}
BENCHMARK(GaussianDrag)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Ten looks' thumbnails of the open photo: the time until all have come,
// and a slider move made while they render: how long its preview waits.
void LookThumbnails(benchmark::State& state) {
    OpenEditor editor({});
    ViewController& vc = editor.vc;
    std::vector<EditSettings> looks;
    for (const char* box :
         {"checkBlackWhite", "checkSepia", "checkCartoon", "checkOilPainting", "checkVignette",
          "checkBlur", "checkFocusBlur", "checkSwirl", "checkGlassSphere", "checkTextWatermark"}) {
        EditSettings look;
        SetField(look, *FindField(box), 1);
        looks.push_back(look);
    }
    int arrived = 0, shown = 0;
    QObject::connect(&vc, &ViewController::lookThumbnailReady, [&] { ++arrived; });
    QObject::connect(&vc, &ViewController::previewShown, [&] { ++shown; });
    FloatSlider* brightness = ControlNamed<FloatSlider>(vc, "sliderBrightness");
    float value = 0.02f;
    for (auto _ : state) {
        arrived = 0;
        QElapsedTimer timer;
        timer.start();
        for (std::size_t i = 0; i < looks.size(); ++i)
            vc.RequestLookThumbnail(QString::number(i), looks[i]);
        RunUntil(vc, [&] { return arrived == int(looks.size()); });
        state.SetIterationTime(double(timer.nsecsElapsed()) * 1e-9);
        state.counters["one_thumbnail_ms"] = double(timer.nsecsElapsed()) * 1e-6 / looks.size();
        // A slider moved while the thumbnails render.
        arrived = 0;
        for (std::size_t i = 0; i < looks.size(); ++i)
            vc.RequestLookThumbnail(QString::number(i), looks[i]);
        const int before = shown;
        QElapsedTimer move;
        move.start();
        value = -value;
        brightness->moveTo(value);
        RunUntil(vc, [&] { return shown > before; });
        state.counters["slider_to_preview_ms"] = double(move.nsecsElapsed()) * 1e-6;
        WaitUntilIdle(vc);
        RunUntil(vc, [&] { return arrived == int(looks.size()); });
    }
}
BENCHMARK(LookThumbnails)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace lumetra::bench
