// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom and pan of the preview as arithmetic on frames. Zooming does not keep
// a factor: it resizes the image view's frame, and the viewport shows the
// part of the view that lies within it; panning moves the frame's origin.
// Frames are in the viewport's own coordinates with y growing upward and
// (0, 0) at the viewport's lower-left corner; the widget layer flips y once,
// at its edge.
#pragma once

#include <ostream>

namespace lumetra {

struct Frame {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    bool operator==(const Frame&) const = default;
};

struct ViewportSize {
    double width = 0.0;
    double height = 0.0;
};

namespace viewport {

constexpr double kZoomInStep = 1.1;
// Not 1 / 1.1: a zoom in followed by a zoom out leaves 0.99 of the size,
// which from the smallest zoom snaps back to the viewport.
constexpr double kZoomOutStep = 0.9;
constexpr double kMinZoom = 1.0;
constexpr double kMaxZoom = 10.0;

// The zoom ratio: the view's width over the viewport's.
inline double ZoomRatio(const Frame& frame, ViewportSize viewport) {
    return viewport.width > 0.0 ? frame.width / viewport.width : 1.0;
}

// Moves the frame's origin back into its allowed range, axis by axis: the
// frame covers the viewport when it is larger, and sits at 0 when smaller.
Frame RepositionImageInVisibleArea(Frame frame, ViewportSize viewport);

// The frame that exactly fills the viewport, at (0, 0).
Frame ResetZoom(Frame frame, ViewportSize viewport);

// One zoom step by `step` (kZoomInStep or kZoomOutStep) about the frame's
// centre. Below ratio 1 the frame takes the viewport's size, above 10 ten
// times the viewport's size; only the width decides.
Frame Zoom(Frame frame, ViewportSize viewport, double step);

// One drag step: the horizontal delta moves right, the vertical delta
// (positive downward, as pointer events report it) moves the frame down.
// A step that would take an axis out of its range is dropped whole.
Frame Pan(Frame frame, ViewportSize viewport, double deltaX, double deltaY);

// The same frame after the viewport changed size: the zoom ratio and the
// point of the picture at the viewport's centre are kept.
Frame FollowViewportResize(Frame frame, ViewportSize before, ViewportSize after);

// The scale of the reduced copy of a photo that previews render from: the
// smallest that still covers the viewport's device pixels when the photo is
// fitted into it, so the preview looks as sharp as the full result at fit
// zoom. 1 (no separate copy) when that is not well below the photo's own
// size (kNoPreviewAbove), or for an empty photo or viewport.
constexpr double kNoPreviewAbove = 0.75;
double PreviewScale(double pictureWidth, double pictureHeight, ViewportSize viewport,
                    double devicePixelRatio);

}  // namespace viewport

// Readable test failures.
inline std::ostream& operator<<(std::ostream& out, const Frame& f) {
    return out << "{x " << f.x << ", y " << f.y << ", " << f.width << " x " << f.height << "}";
}

}  // namespace lumetra
