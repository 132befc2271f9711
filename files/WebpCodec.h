// SPDX-License-Identifier: GPL-3.0-or-later
// Saving WebP, and putting Exif and XMP into a WebP file (reading is in
// CodecReaders.h).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// libwebp's method (0 fastest .. 6 smallest): cwebp's own default.
constexpr int kWebpMethod = 4;

// Encodes a save bitmap (RGBA or BGRA bytes) as lossy WebP at libwebp's
// quality factor 0..100 taken from the compression factor as JPEG's is
// (0.8 gives 80), with alpha when some pixel is not opaque. Empty with the
// reason in *error on failure.
QByteArray EncodeWebp(const QImage& bitmap, double quality, QString* error = nullptr);

// The WebP file with the Exif block (a TIFF structure) and the XMP packet
// in its EXIF and XMP chunks, replacing any it held; an empty block drops
// that chunk. Empty when the file cannot be taken apart.
QByteArray WebpWithProperties(const QByteArray& webp, const QByteArray& exif,
                              const QByteArray& xmp);

}  // namespace lumetra
