// SPDX-License-Identifier: GPL-3.0-or-later
// Writing JPEG with libjpeg-turbo, straight from the save bitmap, on all
// cores.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// Encodes a save bitmap (RGBA or BGRA bytes, see IsSaveBitmap) as a
// baseline JFIF JPEG at quality 0..100 (the IJG scale), 4:2:0 chroma. JPEG
// holds no alpha: rows with transparent pixels are composited onto white on
// the way (see FlattenOntoWhite); opaque rows go to the encoder as they
// are, without a copy.
//
// A picture of up to about a megapixel is coded in one piece with Huffman
// tables computed for it (about a tenth smaller than the standard tables).
// A larger one is coded in horizontal strips of whole MCU rows at the same
// time, each strip one restart interval: the strips' coded data joined with
// restart markers between them is the stream one encoder writes with that
// restart interval (byte for byte what cjpeg -restart writes), which every
// decoder reads. The strips use the standard tables: tables computed for
// the picture would need every strip's statistics before any strip could
// be coded, a second pass over the whole picture, which took more than
// twice the time of the coding itself on a 24-megapixel photo. Returns the
// file's bytes, or empty with a reason.
QByteArray EncodeJpeg(const QImage& bitmap, int quality, QString* error = nullptr);

}  // namespace lumetra
