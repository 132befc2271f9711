// SPDX-License-Identifier: GPL-3.0-or-later
// Writing JPEG with libjpeg-turbo, straight from the RGBA bitmap.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// Encodes an RGBA8888 bitmap as a baseline JFIF JPEG at quality 0..100
// (the IJG scale), 4:2:0 chroma, with Huffman tables computed for the
// picture (about a tenth smaller than the standard tables). JPEG holds no
// alpha: rows with transparent pixels are composited onto white on the
// way (see FlattenOntoWhite); opaque rows go to the encoder as they are,
// without a copy. Returns the file's bytes, or empty with a reason.
QByteArray EncodeJpeg(const QImage& rgba, int quality, QString* error = nullptr);

}  // namespace lumetra
