// SPDX-License-Identifier: GPL-3.0-or-later
// A watermark overlay: a transparent canvas of the base picture's size that
// carries one watermark (the text or the scaled logo). Only the part that
// can be non-transparent is held, so building and blending an overlay costs
// what the watermark covers, not what the photo measures.
#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <algorithm>
#include <cstdint>

#include "render/Image.h"
#include "render/Parallel.h"

namespace lumetra {

struct WatermarkOverlay {
    // Whole pixels of the canvas (the base picture's size).
    QSize canvas;
    // The watermark's rectangle in canvas coordinates: origin at the
    // bottom-left corner, y upward, one point per pixel. Laid out text and
    // the scaled logo fill it; it may reach past the canvas.
    QRectF rect;
    // Where `pixels` lies on the canvas, in pixels counted from the top-left
    // corner; always inside the canvas, empty when nothing shows. Outside it
    // the overlay is transparent.
    QRect patch;
    // patch.width() x patch.height() float pixels, straight alpha.
    Image pixels;

    // The whole canvas as one picture, transparent outside the patch.
    Image toImage() const;
};

// The top-left-origin pixel box [left, right) x [top, bottom) (fractional,
// in the canvas's y-down pixel space) rounded outward to whole pixels and
// cut to the canvas. Safe for any finite or infinite bounds.
QRect PixelBoxOnCanvas(double left, double top, double right, double bottom, QSize canvas);

// Runs a watermark kernel over its rows. A watermark is small next to the
// photo: below about a million pixel operations the rows run on the calling
// thread, where handing bands to the pool would cost more than it saves (on
// a busy machine, a whole scheduler slice); larger ones use the pool.
template <class Body>
void WatermarkBands(int rows, std::int64_t workPerRow, Body&& body) {
    constexpr std::int64_t kPooledWork = std::int64_t(1) << 20;
    if (rows <= 0) return;
    if (std::int64_t(rows) * std::max<std::int64_t>(workPerRow, 1) < kPooledWork) {
        body(0, rows);
        return;
    }
    ParallelBands(rows, workPerRow, body);
}

}  // namespace lumetra
