// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler with a reduced copy: a preview first on every request, the
// newest request rendered next, a full pass that a newer request stops and
// never shows, nothing of a put-away photo shown.
#include <gtest/gtest.h>

#include <QSemaphore>
#include <QSignalSpy>
#include <atomic>

#include "editor/RenderScheduler.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

// Every job waits at the gate; a result's width is the brightness the job
// was given, its height 1 for a preview and 2 for a full pass.
struct Harness {
    QSemaphore gate;
    std::atomic<int> stoppedPasses{0};
    float brightness = 1.f;
    RenderScheduler scheduler{[this]() -> std::optional<RenderInputs> {
        EditSettings settings;
        settings.sliderBrightness = brightness;
        return RenderInputs{[this](const QString&, const EditSettings& s, const Image&) {
                                gate.acquire();
                                RenderResult result;
                                if (StopRequested()) {
                                    ++stoppedPasses;
                                    return result;
                                }
                                result.image = QImage(int(s.sliderBrightness), 2,
                                                      QImage::Format_ARGB32);
                                return result;
                            },
                            QString(), settings, Image()};
    }};
    QSignalSpy previews{&scheduler, &RenderScheduler::previewReady};
    QSignalSpy finished{&scheduler, &RenderScheduler::passFinished};

    Harness() {
        scheduler.setPreviewFunction(
            [this](const PreviewSource&, const EditSettings& s, const Image&) {
                gate.acquire();
                RenderResult result;
                result.image = QImage(int(s.sliderBrightness), 1, QImage::Format_ARGB32);
                return result;
            });
        scheduler.SetPreviewSource({Image::Create(4, 4), 0.25});
    }
    ~Harness() { gate.release(100); }
    // Lets one job go and waits until something comes back.
    bool Step() {
        const qsizetype before = previews.count() + finished.count();
        gate.release();
        for (int i = 0; i < 100 && previews.count() + finished.count() == before; ++i)
            QSignalSpy(&scheduler, &RenderScheduler::passFinished).wait(100);
        return previews.count() + finished.count() > before;
    }
    int LastPreviewWidth() const {
        return previews.last().at(0).value<RenderResult>().image.width();
    }
};

TEST(PreviewScheduler, ThePreviewComesFirstAndTheNewestRequestIsRenderedNext) {
    Harness h;
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
    ASSERT_TRUE(h.Step());
    ASSERT_EQ(h.finished.count(), 1);
    EXPECT_TRUE(h.finished.last().at(1).toBool());
    EXPECT_EQ(h.finished.last().at(0).value<RenderResult>().image.size(), QSize(4, 2));
    EXPECT_FALSE(h.scheduler.updating());
}

TEST(PreviewScheduler, ANewRequestStopsTheFullPassWhichIsNeverShown) {
    Harness h;
    h.scheduler.Request();
    ASSERT_TRUE(h.Step());  // the preview
    ASSERT_TRUE(h.scheduler.fullPassRunning());
    h.brightness = 7.f;
    h.scheduler.Request();  // during the full pass
    EXPECT_TRUE(h.scheduler.selectionChanged());
    ASSERT_TRUE(h.Step());  // the stopped pass comes back
    EXPECT_EQ(h.stoppedPasses.load(), 1);
    ASSERT_EQ(h.finished.count(), 1);
    EXPECT_FALSE(h.finished.last().at(1).toBool()) << "a stopped pass was shown";
    ASSERT_TRUE(h.Step());  // the new request's preview, before the next full pass
    EXPECT_EQ(h.LastPreviewWidth(), 7);
    ASSERT_TRUE(h.Step());
    EXPECT_TRUE(h.finished.last().at(1).toBool());
    EXPECT_EQ(h.finished.last().at(0).value<RenderResult>().image.width(), 7);
}

TEST(PreviewScheduler, NothingOfAPutAwayPhotoIsShown) {
    Harness h;
    h.scheduler.Request();
    h.scheduler.DiscardRunning();  // New while the preview renders
    EXPECT_FALSE(h.scheduler.previewSource().ok());
    h.gate.release();
    QSignalSpy(&h.scheduler, &RenderScheduler::previewReady).wait(300);
    EXPECT_EQ(h.previews.count(), 0);
    EXPECT_EQ(h.finished.count(), 0);
    EXPECT_FALSE(h.scheduler.updating());
    // Without a reduced copy a request renders the full pass only.
    h.scheduler.Request();
    EXPECT_TRUE(h.scheduler.fullPassRunning());
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.previews.count(), 0);
    EXPECT_TRUE(h.finished.last().at(1).toBool());
}

}  // namespace
}  // namespace lumetra
