// SPDX-License-Identifier: GPL-3.0-or-later
// The render scheduler without a reduced copy: requests folded into one more
// pass, overtaken and discarded results never shown, failures ending cleanly.
#include <gtest/gtest.h>

#include "support/SchedulerHarness.h"

namespace lumetra {
namespace {

using Harness = test::SchedulerHarness;

TEST(RenderScheduler, RequestsDuringAPassStopItAndFoldIntoOneMoreWithTheNewestSettings) {
    Harness h(false);
    QSignalSpy started(&h.scheduler, &RenderScheduler::passStarted);
    h.scheduler.Request();
    ASSERT_TRUE(h.scheduler.updating());
    for (const float b : {2.f, 3.f, 4.f}) {
        h.brightness = b;
        h.scheduler.Request();
    }
    EXPECT_TRUE(h.scheduler.selectionChanged());
    EXPECT_EQ(started.count(), 1);
    ASSERT_TRUE(h.Step());
    EXPECT_FALSE(h.LastPass().second) << "the overtaken result must not be shown";
    EXPECT_EQ(h.stoppedPasses.load(), 1) << "the overtaken pass ran to its end";
    EXPECT_EQ(started.count(), 2);
    EXPECT_TRUE(h.scheduler.updating());
    EXPECT_FALSE(h.scheduler.selectionChanged());
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.LastPass(), std::make_pair(QSize(4, 2), true));
    EXPECT_FALSE(h.scheduler.updating());
    EXPECT_EQ(started.count(), 2);
}

TEST(RenderScheduler, ADiscardedOrFailedPassIsNotShownAndEndsCleanly) {
    Harness h(false);
    h.picture = false;
    h.scheduler.Request();
    EXPECT_FALSE(h.scheduler.updating()) << "a pass without a picture";
    h.picture = true;
    h.scheduler.Request();
    h.scheduler.DiscardRunning();
    ASSERT_TRUE(h.Step());
    EXPECT_FALSE(h.LastPass().second);
    h.scheduler.Request();  // the owed pass finds no picture any more (New)
    h.picture = false;
    h.scheduler.Request();
    ASSERT_TRUE(h.Step());
    EXPECT_FALSE(h.LastPass().second);
    EXPECT_FALSE(h.scheduler.updating());
    h.picture = true;  // a render that throws gives an error, not a dead worker
    h.fail = true;
    h.scheduler.Request();
    ASSERT_TRUE(h.Step());
    const RenderResult result = h.finished.last().at(0).value<RenderResult>();
    EXPECT_TRUE(!result.ok() && !result.error.isEmpty());
    h.fail = false;
    h.scheduler.Request();
    ASSERT_TRUE(h.Step());
    EXPECT_EQ(h.LastPass(), std::make_pair(QSize(1, 2), true));
}

}  // namespace
}  // namespace lumetra
