// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewport/ViewportMath.h"

namespace lumetra {

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

}  // namespace lumetra
