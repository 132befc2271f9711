// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed order of a render pass's stages, from the source picture to the
// finished result. The editor's worker and the batch tool call this same
// function, so both give the same pixels for the same settings.
#pragma once

#include "settings/EditSettings.h"
#include "render/Image.h"

namespace lumetra {

// Runs every stage the settings switch on, in order, and the final redraw.
// The colour adjustments always run (they return their input when at rest).
// A caller that has no further use for the source moves it in, so that the
// watermark stages can change it in place; otherwise it is left untouched.
Image RenderPipeline(Image source, const EditSettings& settings, const Image& logo);

// The oil painting slider as the brush radius: truncated toward zero to an
// unsigned integer; negative values and NaN give 0, values past the largest
// unsigned integer give that.
unsigned OilPaintRadiusFromSlider(float value);

}  // namespace lumetra
