// SPDX-License-Identifier: GPL-3.0-or-later
// A colour of the settings (the text watermark's): components in 0..1 kept
// as doubles, so that a settings text gives back exactly what it was written
// from. The watermark stage draws with it as it is.
#pragma once

namespace lumetra {

struct RgbaColor {
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
    double alpha = 1.0;
    bool operator==(const RgbaColor&) const = default;
};

}  // namespace lumetra
