// SPDX-License-Identifier: GPL-3.0-or-later
// The render scheduler without a window: every job waits at a gate and returns
// a picture as wide as its brightness, 1 high (preview, thumbnail) or 2 (pass).
#pragma once

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <stdexcept>

#include "editor/RenderScheduler.h"
#include "render/Parallel.h"

namespace lumetra::test {

struct SchedulerHarness {
    QSemaphore gate;
    std::atomic<int> stoppedPasses{0};
    bool picture = true;  // something to render
    bool fail = false;    // the full pass throws
    float brightness = 1.f;
    RenderScheduler scheduler{[this]() -> std::optional<RenderInputs> {
        if (!picture) return std::nullopt;
        EditSettings settings;
        settings.sliderBrightness = brightness;
        const bool throws = fail;
        return RenderInputs{[this, throws](const QString&, const EditSettings& s, const Image&) {
                                gate.acquire();
                                if (throws) throw std::runtime_error("no");
                                if (StopRequested()) {
                                    ++stoppedPasses;
                                    return RenderResult();
                                }
                                return Picture(s, 2);
                            },
                            QString(), settings, Image()};
    }};
    QSignalSpy previews{&scheduler, &RenderScheduler::previewReady};
    QSignalSpy finished{&scheduler, &RenderScheduler::passFinished};
    QSignalSpy thumbnails{&scheduler, &RenderScheduler::thumbnailReady};

    explicit SchedulerHarness(bool withPreviews) {
        if (!withPreviews) return;
        scheduler.setPreviewFunction(
            [this](const PreviewSource&, const EditSettings& s, const Image&) {
                gate.acquire();
                return Picture(s, 1);
            });
        scheduler.SetPreviewSource({Image::Create(4, 4), 0.25}, {Image::Create(2, 2), 0.125});
    }
    ~SchedulerHarness() { gate.release(100); }

    static RenderResult Picture(const EditSettings& s, int height) {
        RenderResult result;
        result.image = QImage(int(s.sliderBrightness), height, QImage::Format_ARGB32);
        return result;
    }
    qsizetype Returned() const { return previews.count() + finished.count() + thumbnails.count(); }
    bool Step() {  // lets one job go and waits until something comes back
        const qsizetype before = Returned();
        gate.release();
        return QTest::qWaitFor([&] { return Returned() > before; }, 10000);
    }
    std::pair<QSize, bool> LastPass() const {  // its picture's size, and whether shown
        const QList<QVariant>& args = finished.last();
        return {args.at(0).value<RenderResult>().image.size(), args.at(1).toBool()};
    }
    int LastPreviewWidth() const {
        return previews.last().at(0).value<RenderResult>().image.width();
    }
};

}  // namespace lumetra::test
