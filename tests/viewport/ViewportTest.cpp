// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom and pan arithmetic on frames, and the preview widget following it.
#include "support/WidgetTest.h"

#include <QFrame>
#include <cmath>

#include "viewport/ViewportMath.h"

namespace lumetra {
namespace {

using namespace viewport;

const ViewportSize kView{800.0, 500.0};
const Frame kFit{0, 0, 800, 500};

void ExpectNear(const Frame& a, const Frame& b) {
    EXPECT_LT(std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.width - b.width) +
                  std::abs(a.height - b.height),
              1e-9)
        << a << " vs " << b;
}

Frame ZoomTimes(Frame f, double step, int times) {
    for (int i = 0; i < times; ++i) f = Zoom(f, kView, step);
    return f;
}

TEST(Viewport, ZoomKeepsTheCentreAndSnapsToTenTimesAndToTheViewport) {
    const Frame limit{-3600, -2250, 8000, 5000};
    ExpectNear(ZoomTimes(kFit, kZoomInStep, 1), Frame{-40, -25, 880, 550});
    EXPECT_NEAR(ZoomRatio(ZoomTimes(kFit, kZoomInStep, 24), kView), std::pow(1.1, 24), 1e-9);
    ExpectNear(ZoomTimes(kFit, kZoomInStep, 25), limit);
    EXPECT_EQ(ZoomTimes(limit, kZoomInStep, 3), limit) << "further zoom-ins stay at the limit";
    EXPECT_NEAR(ZoomRatio(ZoomTimes(limit, kZoomOutStep, 21), kView), 10 * std::pow(0.9, 21), 1e-9);
    EXPECT_EQ(ZoomTimes(limit, kZoomOutStep, 22), kFit);
    EXPECT_EQ(Zoom(Zoom(kFit, kView, kZoomInStep), kView, kZoomOutStep), kFit);
    EXPECT_EQ(Zoom(Frame{0, 0, 400, 250}, kView, kZoomOutStep), kFit);  // a smaller view snaps
}

// A drag moves the frame or drops the step whole, each axis on its own.
TEST(Viewport, DragMovesOrDropsTheStepWhole) {
    const Frame zoomed{-720, -400, 1600, 1000};
    const std::tuple<Frame, double, double, Frame> cases[] = {
        {kFit, 30, -20, kFit},      // at ratio one
        {zoomed, -160, 0, zoomed},  // past the edge
        {zoomed, -40, 0, Frame{-760, -400, 1600, 1000}},
        {Frame{-100, -100, 1600, 1000}, 0, 30, Frame{-100, -130, 1600, 1000}},  // down on screen
        {Frame{-10, -490, 1600, 1000}, 5, 20, Frame{-5, -490, 1600, 1000}}};
    for (const auto& [start, dx, dy, expected] : cases)
        ExpectNear(Pan(start, kView, dx, dy), expected);
}

TEST(Viewport, ResetRepositionAndResize) {
    EXPECT_EQ(ResetZoom(Frame{-120, -75, 1040, 650}, kView), kFit);
    EXPECT_EQ(RepositionImageInVisibleArea(Frame{50, -900, 1600, 1000}, kView),
              (Frame{0, -500, 1600, 1000}));
    EXPECT_EQ(RepositionImageInVisibleArea(Frame{-50, 20, 400, 250}, kView),
              (Frame{0, 0, 400, 250}));
    const ViewportSize larger{1000, 600};  // keeps the zoom ratio (2) and the centre
    ExpectNear(FollowViewportResize(Frame{-400, -250, 1600, 1000}, kView, larger),
               Frame{-500, -300, 2000, 1200});
    EXPECT_EQ(FollowViewportResize(kFit, kView, larger), (Frame{0, 0, 1000, 600}));
}

TEST(ViewportWidget, TheViewFollowsTheFrameWithYFlipped) {
    test::Editor editor;
    ViewController& vc = *editor.controller;
    vc.show();
    vc.customViewImage->resize(800, 500);
    ASSERT_EQ(vc.imageView->geometry(), QRect(0, 0, 800, 500));
    vc.OnZoomIn();  // {-40, -25, 880, 550} upward: the top edge at 500 - (-25 + 550)
    EXPECT_EQ(vc.imageView->geometry(), QRect(-40, -25, 880, 550));
    vc.OnZoomIn();
    const Frame before = vc.imageView->frame();
    const QRect placed = vc.imageView->geometry();
    const QPointF inside = vc.boxImage->mapTo(vc.window(), QPointF(20, 20));
    vc.mouseDragged(inside, QPointF(10, 10));  // right and down
    EXPECT_EQ(vc.imageView->frame(),
              (Frame{before.x + 10, before.y - 10, before.width, before.height}));
    EXPECT_EQ(vc.imageView->geometry().topLeft(), placed.topLeft() + QPoint(10, 10))
        << "the picture must follow the pointer on screen";
    const QRect zoomed = vc.imageView->geometry();
    vc.OnFileNew();
    EXPECT_EQ(vc.imageView->geometry(), zoomed) << "New keeps the zoom";
    vc.OnResetZoom();
    EXPECT_EQ(vc.imageView->geometry(), QRect(0, 0, 800, 500));
}

}  // namespace
}  // namespace lumetra
