// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG 2000 through OpenJPEG: writing the JP2 file format, and reading both
// JP2 files and bare J2K codestreams from memory.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>

class QIODevice;

namespace lumetra {

// The compression ratio (uncompressed size over coded size) that a
// compression factor in 0..1 asks of the encoder: 4 * 50^(1 - factor).
// 1.0 gives 4:1, 6 bits per pixel for 8-bit RGB, which leaves no difference
// the eye can find (above 50 dB PSNR on a noisy photo); every step of 0.1
// below it multiplies the ratio by 50^0.1 (about 1.48), so equal steps of
// the slider shrink the file by equal proportions, down to 200:1 (0.12
// bits per pixel) at 0.0. The default 0.8 gives 8.7:1, 2.7 bits per pixel.
// Factors outside 0..1 are clamped. A picture that needs fewer bytes for
// every coding pass within the budget is simply smaller.
double Jpeg2000CompressionRatio(double quality);

// Encodes an 8-bit picture as a JP2 file (irreversible 9/7 wavelet, one
// quality layer at the ratio above). Pictures with any pixel that is not
// fully opaque keep their alpha as a fourth, opacity channel; others are
// written as three-channel RGB. Returns the file's bytes, or empty with a
// reason in *error.
QByteArray EncodeJpeg2000(const QImage& image, double quality, QString* error = nullptr);

// True when the bytes start like a JP2 file or a J2K codestream.
bool LooksLikeJpeg2000(const QByteArray& head);

// Decodes a JP2 file or a J2K codestream. Grey, grey with alpha, RGB, RGBA,
// sYCC and CMYK pictures are read; samples of up to 8 bits give
// Format_RGBA8888, deeper ones Format_RGBA64. A picture above maxPixels is
// refused before its pixels are decoded. A codestream cut inside its data
// is refused (the decoder is strict); one that lacks only its end marker
// decodes whole. Returns a null image with a reason in *error on failure.
QImage DecodeJpeg2000(const QByteArray& data, QString* error = nullptr,
                      std::int64_t maxPixels = std::int64_t(128) << 20);

// The picture's size from the header of the JP2 file or J2K codestream
// open on file, read from its start as far as the codestream's main
// header; no pixel is decoded. The same checks as decoding makes before
// decoding; an invalid size with the reason in *error when they fail.
QSize ReadJpeg2000Header(QIODevice* file, QString* error,
                         std::int64_t maxPixels = std::int64_t(128) << 20);

}  // namespace lumetra
