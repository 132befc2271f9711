// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler with a reduced copy: a preview first on every request, the
// newest request rendered next, thumbnails only when nothing else waits,
// nothing of a put-away photo shown.
#include <gtest/gtest.h>

#include "support/SchedulerHarness.h"

namespace lumetra {
namespace {

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
        if (thumbnail) {
            h.scheduler.RequestThumbnail("a", look, Image());
            h.scheduler.RequestThumbnail("b", look, Image());
        } else {
            h.scheduler.Request();
        }
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
