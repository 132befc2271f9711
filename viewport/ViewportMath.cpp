// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewport/ViewportMath.h"

#include <algorithm>

namespace lumetra::viewport {

Frame RepositionImageInVisibleArea(Frame frame, ViewportSize viewport) {
    const double loX = viewport.width - frame.width;
    if (frame.x < loX) frame.x = loX;
    if (frame.x > 0.0) frame.x = 0.0;
    const double loY = viewport.height - frame.height;
    if (frame.y < loY) frame.y = loY;
    if (frame.y > 0.0) frame.y = 0.0;
    return frame;
}

Frame ResetZoom(Frame frame, ViewportSize viewport) {
    frame.width = viewport.width;
    frame.height = viewport.height;
    return RepositionImageInVisibleArea(frame, viewport);
}

Frame Zoom(Frame frame, ViewportSize viewport, double step) {
    const double w0 = frame.width;
    const double h0 = frame.height;
    const double z = ZoomRatio(frame, viewport) * step;
    if (z < kMinZoom) {
        frame.width = viewport.width;
        frame.height = viewport.height;
    } else if (z > kMaxZoom) {
        frame.width = kMaxZoom * viewport.width;
        frame.height = kMaxZoom * viewport.height;
    } else {
        frame.width *= step;
        frame.height *= step;
    }
    // Keep the centre where it was.
    frame.x += (frame.width - w0) * -0.5;
    frame.y += (frame.height - h0) * -0.5;
    return RepositionImageInVisibleArea(frame, viewport);
}

Frame Pan(Frame frame, ViewportSize viewport, double deltaX, double deltaY) {
    const double loX = viewport.width - frame.width;
    const double nx = frame.x + deltaX;
    if (loX <= nx && nx <= 0.0) frame.x = nx;
    const double loY = viewport.height - frame.height;
    const double ny = frame.y - deltaY;
    if (loY <= ny && ny <= 0.0) frame.y = ny;
    return frame;
}

Frame FollowViewportResize(Frame frame, ViewportSize before, ViewportSize after) {
    if (before.width <= 0.0 || before.height <= 0.0) return ResetZoom(frame, after);
    const double sx = after.width / before.width;
    const double sy = after.height / before.height;
    // The picture point at the old viewport's centre, in frame units.
    const double cx = (before.width * 0.5 - frame.x) / frame.width;
    const double cy = (before.height * 0.5 - frame.y) / frame.height;
    frame.width *= sx;
    frame.height *= sy;
    frame.x = after.width * 0.5 - cx * frame.width;
    frame.y = after.height * 0.5 - cy * frame.height;
    return RepositionImageInVisibleArea(frame, after);
}

double PreviewScale(double pictureWidth, double pictureHeight, ViewportSize viewport,
                    double devicePixelRatio) {
    if (!(pictureWidth >= 1.0) || !(pictureHeight >= 1.0) || !(viewport.width >= 1.0) ||
        !(viewport.height >= 1.0) || !(devicePixelRatio > 0.0))
        return 1.0;
    const double fit = std::min(viewport.width / pictureWidth, viewport.height / pictureHeight);
    const double scale = fit * devicePixelRatio;
    return scale < kNoPreviewAbove ? scale : 1.0;
}

}  // namespace lumetra::viewport
