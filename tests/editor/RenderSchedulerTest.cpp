// SPDX-License-Identifier: GPL-3.0-or-later
// The render scheduler on its own, without a window: one pass at a time,
// requests during a pass folded into exactly one more, overtaken and
// discarded results never shown, a failing render ending cleanly.
#include <gtest/gtest.h>

#include <QSemaphore>
#include <QSignalSpy>
#include <atomic>
#include <stdexcept>

#include "editor/RenderScheduler.h"

namespace lumetra {
namespace {

// A scheduler whose passes wait at a gate and return a picture whose width
// is the brightness they were given, so a result tells which request it
// rendered.
struct Harness {
    QSemaphore gate;
    std::atomic<int> rendered{0};
    bool picture = true;  // something to render
    float brightness = 1.f;
    bool fail = false;
    RenderScheduler scheduler{[this]() -> std::optional<RenderInputs> {
        if (!picture) return std::nullopt;
        EditSettings settings;
        settings.sliderBrightness = brightness;
        const bool throws = fail;
        return RenderInputs{[this, throws](const QString&, const EditSettings& s, const Image&) {
                                gate.acquire();
                                ++rendered;
                                if (throws) throw std::runtime_error("no");
                                RenderResult result;
                                result.image = QImage(int(s.sliderBrightness), 1,
                                                      QImage::Format_ARGB32);
                                return result;
                            },
                            QString(), settings, Image()};
    }};
    QSignalSpy started{&scheduler, &RenderScheduler::passStarted};
    QSignalSpy finished{&scheduler, &RenderScheduler::passFinished};

    // Lets one pass go and waits for its completion; returns (width, shown).
    std::pair<int, bool> Finish() {
        gate.release();
        if (!finished.wait(10000)) return {-1, false};
        const QList<QVariant> args = finished.takeFirst();
        return {args.at(0).value<RenderResult>().image.width(), args.at(1).toBool()};
    }
    ~Harness() { gate.release(100); }
};

TEST(RenderScheduler, NothingStartsWithoutAPicture) {
    Harness h;
    h.picture = false;
    h.scheduler.Request();
    EXPECT_FALSE(h.scheduler.updating());
    EXPECT_EQ(h.started.count(), 0);
}

TEST(RenderScheduler, RequestsDuringAPassFoldIntoOneMoreWithTheNewestSettings) {
    Harness h;
    h.scheduler.Request();
    ASSERT_TRUE(h.scheduler.updating());
    for (const float b : {2.f, 3.f, 4.f}) {
        h.brightness = b;
        h.scheduler.Request();
    }
    EXPECT_TRUE(h.scheduler.selectionChanged());
    EXPECT_EQ(h.started.count(), 1);
    EXPECT_EQ(h.Finish(), std::make_pair(1, false)) << "the overtaken result must not be shown";
    EXPECT_EQ(h.started.count(), 2);
    EXPECT_TRUE(h.scheduler.updating());
    EXPECT_FALSE(h.scheduler.selectionChanged());
    EXPECT_EQ(h.Finish(), std::make_pair(4, true));
    EXPECT_FALSE(h.scheduler.updating());
    EXPECT_EQ(h.rendered.load(), 2);
}

TEST(RenderScheduler, ADiscardedOrFailedPassIsNotShownAndEndsCleanly) {
    Harness h;
    h.scheduler.Request();
    h.scheduler.DiscardRunning();
    EXPECT_EQ(h.Finish(), std::make_pair(1, false));
    // The owed pass finds nothing to render any more (New during a pass).
    h.scheduler.Request();
    h.picture = false;
    h.scheduler.Request();
    EXPECT_EQ(h.Finish(), std::make_pair(1, false));
    EXPECT_FALSE(h.scheduler.updating());
    // A render that throws gives an error, not a dead worker.
    h.picture = true;
    h.fail = true;
    h.scheduler.Request();
    h.gate.release();
    ASSERT_TRUE(h.finished.wait(10000));
    const RenderResult result = h.finished.takeFirst().at(0).value<RenderResult>();
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error.isEmpty());
    h.fail = false;
    h.scheduler.Request();
    EXPECT_EQ(h.Finish(), std::make_pair(1, true));
}

}  // namespace
}  // namespace lumetra
