// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ImageEncoders.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

#include "files/AvifCodec.h"
#include "files/GifEncoder.h"
#include "files/Jpeg2000.h"
#include "files/JpegEncoder.h"
#include "files/PngEncoder.h"
#include "files/SaveBitmap.h"
#include "files/WebpCodec.h"

namespace lumetra {
namespace {

QByteArray Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return {};
}

// Qt's own writers (TIFF, BMP), into memory made large enough at the start
// for the uncompressed file, so that the buffer never has to grow.
QByteArray WriteWithQt(const QImage& image, const char* format, QString* error) {
    QByteArray bytes;
    bytes.reserve(qsizetype(image.sizeInBytes()) + (64 << 10));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) return Fail(error, writer.errorString());
    return bytes;
}

}  // namespace

std::optional<SaveFormat> SaveFormatForIndex(int index) {
    switch (index) {
        case 0:
        case 1:
        case 2:
            return SaveFormat::Jpeg;
        case 3:
        case 4:
            return SaveFormat::Jpeg2000;
        case 5:
            return SaveFormat::Png;
        case 6:
        case 7:
            return SaveFormat::Tiff;
        case 8:
            return SaveFormat::Gif;
        case 9:
            return SaveFormat::Bmp;
        case 10:
            return SaveFormat::Webp;
        case 11:
            return SaveFormat::Avif;
        default:
            return std::nullopt;
    }
}

bool TakesCompressionFactor(SaveFormat format) {
    return format == SaveFormat::Jpeg || format == SaveFormat::Jpeg2000 ||
           format == SaveFormat::Webp || format == SaveFormat::Avif;
}

int JpegQuality(double quality) {
    const double q = quality >= 1.0 ? 1.0 : (quality > 0.0 ? quality : 0.0);
    return int(std::lround(q * 100.0));
}

QByteArray EncodeForSave(const QImage& bitmap, SaveFormat format, double quality, QString* error) {
    if (bitmap.isNull() || !IsSaveBitmap(bitmap))
        return Fail(error, QStringLiteral("There is no RGBA bitmap to encode."));
    if (TakesCompressionFactor(format) && !std::isfinite(quality))
        return Fail(error, QStringLiteral("The compression factor is not a number."));
    switch (format) {
        case SaveFormat::Jpeg:
            return EncodeJpeg(bitmap, JpegQuality(quality), error);
        case SaveFormat::Jpeg2000:
            return EncodeJpeg2000(bitmap, quality, error);
        case SaveFormat::Png:
            return EncodePng(bitmap, error);
        case SaveFormat::Tiff: {
            // Three channels when every pixel is opaque, four otherwise (in
            // the byte order Qt's writer stores as unassociated alpha).
            const QImage image = HasTransparentPixels(bitmap)
                                     ? bitmap.convertToFormat(QImage::Format_RGBA8888)
                                     : DropAlpha(bitmap);
            if (image.isNull()) return Fail(error, QStringLiteral("Not enough memory."));
            return WriteWithQt(image, "tiff", error);
        }
        case SaveFormat::Gif:
            return EncodeGif(bitmap, error);
        case SaveFormat::Bmp: {
            const QImage flat = FlattenOntoWhite(bitmap);
            if (flat.isNull()) return Fail(error, QStringLiteral("Not enough memory."));
            return WriteWithQt(flat, "bmp", error);
        }
        case SaveFormat::Webp:
            return EncodeWebp(bitmap, quality, error);
        case SaveFormat::Avif:
            return EncodeAvif(bitmap, quality, error);
    }
    return Fail(error, QStringLiteral("Unknown format."));
}

}  // namespace lumetra
