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
    QSignalSpy thumbnails{&scheduler, &RenderScheduler::thumbnailReady};

    Harness() {
        scheduler.setPreviewFunction(
            [this](const PreviewSource&, const EditSettings& s, const Image&) {
                gate.acquire();
                RenderResult result;
                result.image = QImage(int(s.sliderBrightness), 1, QImage::Format_ARGB32);
                return result;
            });
        scheduler.SetPreviewSource({Image::Create(4, 4), 0.25}, {Image::Create(2, 2), 0.125});
    }
    ~Harness() { gate.release(100); }
    // Lets one job go and waits until something comes back.
    bool Step() {
        const auto count = [this] {
            return previews.count() + finished.count() + thumbnails.count();
        };
        const qsizetype before = count();
        gate.release();
        for (int i = 0; i < 100 && count() == before; ++i)
            QSignalSpy(&scheduler, &RenderScheduler::passFinished).wait(100);
        return count() > before;
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

TEST(PreviewScheduler, ThumbnailsWaitForPreviewsAndPassesAndDelayThemByOneAtMost) {
    Harness h;
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
    // Another photo: the thumbnails asked for this one never come.
    h.scheduler.RequestThumbnail("d", look, Image());
    h.scheduler.DiscardRunning();
    h.gate.release();
    QSignalSpy(&h.scheduler, &RenderScheduler::thumbnailReady).wait(300);
    EXPECT_EQ(h.thumbnails.count(), 3);
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
