// SPDX-License-Identifier: GPL-3.0-or-later
// Saving AVIF (reading is in CodecReaders.h).
#pragma once

#include <avif/avif.h>

#include <QByteArray>
#include <QImage>
#include <QString>

namespace lumetra {

// The AV1 encoder and its speed (0 slowest .. 10 fastest). Of the encoders
// Debian's libavif 0.11 is built with (aom, rav1e, SVT-AV1), libaom takes
// every picture a save can hand it; SVT-AV1 refuses pictures of odd sizes
// and pictures with alpha. At speed 8 on all cores libaom saves 24
// megapixels in a few seconds (bench_formats).
constexpr avifCodecChoice kAvifEncoderCodec = AVIF_CODEC_CHOICE_AOM;
constexpr int kAvifEncoderSpeed = 8;

// The AV1 quantizer (0 best .. 63 worst) for a compression factor in 0..1,
// as JPEG's quality follows it: 1 gives 0, 0.8 gives 13, 0 gives 63.
int AvifQuantizer(double quality);

// Encodes a save bitmap (RGBA or BGRA bytes) as AVIF, 8 bits 4:2:0, sRGB,
// with alpha when some pixel is not opaque. Empty with the reason in
// *error on failure.
QByteArray EncodeAvif(const QImage& bitmap, double quality, QString* error = nullptr);

// The AVIF file with the Exif block (a TIFF structure) and the XMP packet
// added as items that describe its primary picture. Empty when the file's
// boxes cannot be taken apart.
QByteArray AvifWithProperties(const QByteArray& avif, const QByteArray& exif,
                              const QByteArray& xmp);

}  // namespace lumetra
