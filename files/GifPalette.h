// SPDX-License-Identifier: GPL-3.0-or-later
// Turning an RGBA picture into GIF's 256 indexed colours: a palette chosen
// by libimagequant from the picture's colour histogram, and Floyd-Steinberg
// dithering onto it.
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace lumetra {

struct GifPalette {
    std::vector<std::array<std::uint8_t, 3>> colours;  // at most 256
    int transparent = -1;  // the entry for pixels with alpha 0, -1 if none
};

// Chooses the palette of an RGBA8888 picture. A picture of at most 256
// colours keeps exactly those. Otherwise libimagequant chooses the palette
// from a histogram counted on all cores with 6 bits per channel, each cell
// remembering the mean of the colours that fell in it, so that it works on
// at most 262144 colours instead of every pixel. Pixels with alpha 0 get
// one transparent entry of their own; all others count as opaque. False,
// with a reason, on failure.
bool ChooseGifPalette(const QImage& rgba, GifPalette* palette, QString* error);

// Maps an RGBA8888 picture onto the palette with Floyd-Steinberg error
// diffusion (serpentine), writing width x height indexes. Pixels with alpha
// 0 take the transparent entry and pass no error on; every other pixel takes
// an opaque entry. Bands of rows are dithered on all cores, each band's
// error starting afresh.
void DitherOntoPalette(const QImage& rgba, const GifPalette& palette, std::uint8_t* indexes);

}  // namespace lumetra
