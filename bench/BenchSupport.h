// SPDX-License-Identifier: GPL-3.0-or-later
// The synthetic 24-megapixel photo the benchmarks share.
#pragma once

#include <QString>

#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra::bench {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// A smooth gradient with noise, saved once as JPEG quality 90 in the
// system's temporary folder; returns its path.
const QString& PhotoJpegPath();

// The same photo decoded and held as floats.
const Image& PhotoAsFloat();

// The panel's defaults with one stage switched on by its check box
// ("checkBlur"); the 3D transform gets a slight perspective tilt (its
// identity matrix would return its input) and the rotation 45 degrees.
EditSettings WithStage(const char* checkBox);
// Runs the render pipeline on the picture with those settings.
Image RunStage(const Image& picture, const char* checkBox);

// A 512 x 256 logo: a colour gradient whose alpha fades from left to right.
const Image& Logo();

}  // namespace lumetra::bench
