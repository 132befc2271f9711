// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom and pan of the preview as arithmetic on frames. Frames are in the
// viewport's own coordinates with y growing upward and (0, 0) at the
// viewport's lower-left corner; the widget layer flips y once, at its edge.
#pragma once

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

// Moves the frame's origin back into its allowed range, axis by axis: the
// frame covers the viewport when it is larger, and sits at 0 when smaller.
Frame RepositionImageInVisibleArea(Frame frame, ViewportSize viewport);

// The frame that exactly fills the viewport, at (0, 0).
Frame ResetZoom(Frame frame, ViewportSize viewport);

}  // namespace lumetra
