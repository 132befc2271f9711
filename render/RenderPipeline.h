// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed order of a render pass's stages, from the source picture to the
// finished result. The editor's worker and the batch tool call this same
// function, so both give the same pixels for the same settings.
#pragma once

#include <atomic>

#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra {

// How a pass runs besides its settings.
struct RenderControl {
    // The source's size relative to the full-resolution photo (a reduced
    // preview copy has less than 1): every parameter measured in pixels
    // (blur radii and lengths, the cartoon's blur, the text's size, offsets
    // and shadow, the logo's size and offsets) is multiplied by it, so the
    // result looks like the full result reduced by the same factor.
    // Parameters measured in fractions of the picture need nothing.
    double scale = 1.0;
    // Raised from another thread: the pass stops at its next stage or band
    // and gives an empty picture. Without one, the pass keeps the stop
    // request of the thread it runs on (StopScope).
    const std::atomic<bool>* stop = nullptr;
};

// Runs every stage the settings switch on, in order, and the final redraw.
// The colour adjustments always run (they return their input when at rest).
// A caller that has no further use for the source moves it in, so that the
// watermark stages can change it in place; otherwise it is left untouched.
// An empty picture when the pass was stopped.
Image RenderPipeline(Image source, const EditSettings& settings, const Image& logo,
                     const RenderControl& control = {});

// The oil painting slider as the brush radius: truncated toward zero to an
// unsigned integer; negative values and NaN give 0, values past the largest
// unsigned integer give that.
unsigned OilPaintRadiusFromSlider(float value);

}  // namespace lumetra
