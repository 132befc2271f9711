// SPDX-License-Identifier: GPL-3.0-or-later
// Writing GIF: a palette of up to 256 colours chosen by libimagequant, the
// picture dithered onto it (files/GifPalette.h), and the indexes coded by
// giflib.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// Encodes an RGBA8888 bitmap as a single-image GIF89a. GIF knows only fully
// transparent and fully opaque pixels: pixels whose alpha is 0 become the
// palette's one transparent entry, every other pixel is written opaque in its
// own colour. Returns the file's bytes, or empty with a reason in *error
// (a side above 65535 pixels, which GIF cannot record, or no memory).
QByteArray EncodeGif(const QImage& rgba, QString* error = nullptr);

}  // namespace lumetra
