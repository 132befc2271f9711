// SPDX-License-Identifier: GPL-3.0-or-later
// Writing PNG on all cores: rows are filtered and deflated in bands at the
// same time, and the bands' compressed data joined into one zlib stream.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// Encodes a save bitmap (RGBA or BGRA bytes, see IsSaveBitmap) as an 8-bit
// PNG: RGB when every pixel is opaque, RGBA (straight alpha, as PNG wants
// it) otherwise. Each row gets the filter with the smallest sum of absolute
// differences; each band of rows is deflated at zlib's level 2 (a third of
// the time of the default level for the same size on photos; see
// PngEncoder.cpp for the measurements), primed with the 32 KB that
// precede it, and ends on a byte boundary (a sync flush), so the bands
// together form one stream that any decoder reads as usual. Returns the
// file's bytes, or empty with a reason in *error.
QByteArray EncodePng(const QImage& bitmap, QString* error = nullptr);

}  // namespace lumetra
