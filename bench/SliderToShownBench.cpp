// SPDX-License-Identifier: GPL-3.0-or-later
// From a slider move to the result on screen, on the real editor window
// (offscreen): the 24-megapixel photo is opened, three effects are switched
// on, and each iteration moves the brightness slider, waits for the render
// pass to come back and draws the window with the new preview.
//
//   build/bin/bench_slider_to_shown --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <stdexcept>

#include "BenchSupport.h"
#include "EditorControls.h"
#include "editor/ViewController.h"
#include "editor/widgets/FloatSlider.h"
#include "settings/SettingsFields.h"

namespace lumetra::bench {
namespace {

// Runs the event loop until the controller's next pass has come back and
// no other is running.
void WaitUntilIdle(ViewController& vc) {
    QEventLoop loop;
    QObject::connect(&vc, &ViewController::renderPassFinished, &loop, [&] {
        if (!vc.updating()) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (vc.updating()) loop.exec();
    if (vc.updating()) throw std::runtime_error("the render pass did not come back");
}

// The editor with the photo open and the named effects switched on.
struct OpenEditor {
    explicit OpenEditor(std::initializer_list<const char*> effects) {
        vc.resize(1400, 900);
        vc.viewDidLoad();
        vc.show();
        vc.LoadOriginalImage(PhotoJpegPath());
        WaitUntilIdle(vc);
        for (const char* box : effects) {
            ControlNamed<QCheckBox>(vc, box)->click();
            WaitUntilIdle(vc);
            if (vc.CurrentSettings().checkBlur == -1) throw std::runtime_error("bad state");
        }
    }
    ViewController vc;
};

void SliderToShown(benchmark::State& state, std::initializer_list<const char*> effects) {
    OpenEditor editor(effects);
    FloatSlider* brightness = ControlNamed<FloatSlider>(editor.vc, "sliderBrightness");
    float value = 0.02f;
    for (auto _ : state) {
        value = -value;
        QElapsedTimer timer;
        timer.start();
        brightness->moveTo(value);  // as the user's drag: the handler starts a pass
        WaitUntilIdle(editor.vc);
        const QPixmap shown = editor.vc.grab();  // paints the window with the new preview
        benchmark::DoNotOptimize(shown);
        state.SetIterationTime(double(timer.nsecsElapsed()) * 1e-9);
    }
}

// A blur, a per-pixel effect and a geometric one.
BENCHMARK_CAPTURE(SliderToShown, BlurVignetteGlassSphere,
                  {"checkBlur", "checkVignette", "checkGlassSphere"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
// The three slowest effects at their defaults.
BENCHMARK_CAPTURE(SliderToShown, ZoomBlurCartoonFocusBlur,
                  {"checkZoomBlur", "checkCartoon", "checkFocusBlur"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace lumetra::bench
