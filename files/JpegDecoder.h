// SPDX-License-Identifier: GPL-3.0-or-later
// Reading JPEG files with libjpeg-turbo directly: straight into the 32-bit
// layout the engine keeps, as stored (the reader turns it upright by its
// EXIF orientation), with the embedded ICC profile attached, CMYK converted
// to RGB, and a file that is cut short or corrupt told apart from a sound
// one by the decoder's warnings.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>

class QIODevice;

namespace lumetra {

struct JpegDecoded {
    QImage image;   // Format_RGB32; null when nothing could be decoded
    QString error;  // why not
    bool damaged = false;
    QString damage;  // the decoder's first complaint, when damaged
};

// True when the bytes start like a JPEG file (SOI and a marker).
bool LooksLikeJpeg(const QByteArray& head);

// Decodes a whole JPEG file held in memory. A picture above maxPixels is
// refused after its header is read and before memory is taken for it. A
// file that ends early or holds corrupt data gives what could be decoded
// (the missing part grey) and damaged set. A scale denominator of 2, 4 or 8
// decodes the picture reduced that many times on each side (the size
// rounded up), for a preview.
JpegDecoded DecodeJpeg(const QByteArray& data, std::int64_t maxPixels, int scaleDenominator = 1);

// The size of the JPEG file open on file, from its headers alone: the
// markers up to the first scan are read (what they skip is seeked over),
// no pixel is decoded. An invalid size with the reason in *error when the
// headers are damaged or end with the file.
QSize ReadJpegHeader(QIODevice* file, QString* error);

}  // namespace lumetra
