// SPDX-License-Identifier: GPL-3.0-or-later
// The bitmap a save encodes: 8 bits per sample, four bytes per pixel, red,
// green, blue and alpha (straight, not premultiplied) in one of two byte
// orders, as many pixels as the picture has points, and the pixel
// preparations the individual formats need.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>

namespace lumetra {

// Bitmaps above this many pixels (a 1 GB bitmap, 16384 x 16384) are refused:
// the encoders need several times the bitmap's memory, and a mistyped size
// must not take the desktop's memory with it.
constexpr std::int64_t kMaxSavePixels = std::int64_t(256) << 20;

// The bitmap's pixel size for a picture: its size in points (pixels divided
// by the device pixel ratio), each side cut toward zero. False when a side
// is below 1, not a finite number or too large.
bool SaveBitmapSize(const QImage& image, QSize* size);

// True for the layouts the encoders take as they are: red first
// (Format_RGBA8888, Format_RGBX8888) or blue first (Format_ARGB32 and
// Format_RGB32 on a little-endian machine, the layout of the editor's own
// pictures). The alpha byte is the fourth in both.
bool IsSaveBitmap(const QImage& image);

// True for a save bitmap whose first byte is blue (ARGB32, RGB32).
bool IsBlueFirst(const QImage& bitmap);

// The bitmap for a picture at SaveBitmapSize(), the picture filling it. A
// picture that already has that size and a save bitmap layout is used as it
// is (no copy: the encoders read 24 megapixels in a fraction of the time a
// conversion takes); one of another layout is converted to Format_RGBA8888;
// one of another size is drawn into a new Format_RGBA8888 bitmap. Null when
// the size is refused or memory runs out.
QImage DrawSaveBitmap(const QImage& image);

// True when any pixel of a save bitmap has alpha below 255 (never for the
// layouts without alpha, which are not read).
bool HasTransparentPixels(const QImage& bitmap);

// One straight-alpha channel value composited onto white, rounded.
inline uchar OverWhite(int value, int alpha) {
    const int x = value * alpha + 255 * (255 - alpha) + 128;
    return uchar((x + (x >> 8)) >> 8);
}

// The bitmap's colours without its alpha channel (for a bitmap whose every
// pixel is opaque), as Format_RGB888.
QImage DropAlpha(const QImage& bitmap);

// A save bitmap composited onto white, as Format_RGB32. Formats that
// keep no alpha get this: a transparent area (the corners of a turned photo)
// reads as blank paper, as it does in a print, where black would read as a
// frame the user never drew and the colour hidden under transparent pixels
// would show as noise.
QImage FlattenOntoWhite(const QImage& bitmap);

}  // namespace lumetra
