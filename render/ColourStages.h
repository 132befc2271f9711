// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjustments of a render pass, and black and white and sepia
// after them, run in one sweep over the picture: each row piece goes
// through every adjustment that is away from its rest value while it is in
// cache, instead of one full frame being written per adjustment. The result
// is bit for bit what the single ImageTools functions give one after
// another.
#pragma once

#include "render/Image.h"

namespace lumetra {

struct ColourStages {
    float brightness = 0.f;
    float exposure = 0.f;
    float contrast = 1.f;
    float saturation = 1.f;
    float gamma = 1.f;
    float hue = 0.f;
    float red = 1.f, green = 1.f, blue = 1.f;
    bool blackWhite = false;
    bool sepia = false;
    float sepiaIntensity = 0.f;
};

// The picture itself when every adjustment is at rest.
Image ApplyColourStages(const Image& image, const ColourStages& stages);

}  // namespace lumetra
