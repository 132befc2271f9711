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

// Where the shadow of glyphs inside `ink` (y down) can fall.
QRectF ShadowReach(const QRectF& ink);

// The area whose glyphs cast shadow into `patch`: the patch and the band up
// and left of it that the offset and the blur reach across.
QRect ShadowSourceArea(const QRect& patch);

// Lays the premultiplied glyph pixels of `painted` over their shadow (when
// useShadow) and writes the `patch` part of the result, in straight alpha,
// to `out` (patch-sized). `patch` must lie inside `painted`.
void ComposeOverShadow(const std::vector<float>& glyphs, const QRect& painted, const QRect& patch,
                       bool useShadow, Image& out);

}  // namespace lumetra
