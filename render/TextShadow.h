// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark's shadow: the painted glyphs' coverage blurred with
// radius 3, moved 3 pixels right and 3 down, in black, under the glyphs.
// A shadow that is off is clear, so it adds nothing and is not computed.
#pragma once

#include <QRect>
#include <QRectF>
#include <vector>

#include "render/Image.h"

namespace lumetra {

constexpr int kShadowBlurRadius = 3;
constexpr int kShadowOffset = 3;  // right and down

// The shadow's blur radius and offset in pixels.
struct ShadowShape {
    int blurRadius = kShadowBlurRadius;
    int offset = kShadowOffset;
};

// The shadow of a picture at `scale` of the photo's size: blur and offset
// shrunk with it, rounded to whole pixels (the blur to at least one).
ShadowShape ScaledShadow(double scale);

// Where the shadow of glyphs inside `ink` (y down) can fall.
QRectF ShadowReach(const QRectF& ink, const ShadowShape& shadow = {});

// The area whose glyphs cast shadow into `patch`: the patch and the band up
// and left of it that the offset and the blur reach across.
QRect ShadowSourceArea(const QRect& patch, const ShadowShape& shadow = {});

// Lays the premultiplied glyph pixels of `painted` over their shadow (when
// useShadow) and writes the `patch` part of the result, in straight alpha,
// to `out` (patch-sized). `patch` must lie inside `painted`.
void ComposeOverShadow(const std::vector<float>& glyphs, const QRect& painted, const QRect& patch,
                       bool useShadow, const ShadowShape& shadow, Image& out);

}  // namespace lumetra
