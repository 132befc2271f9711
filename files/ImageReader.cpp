// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ImageReader.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <mutex>

#include "files/Jpeg2000.h"

namespace lumetra {
namespace {

void RaiseAllocationLimitOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Qt refuses decodes above 128 MB by default, which stops at about
        // 32 megapixels. Our own pixel limit is checked before decoding, so
        // Qt's only has to leave room for the largest picture we accept at
        // 8 bytes per pixel (16-bit files) plus a conversion.
        const std::int64_t megabytes = kMaxSourcePixels * 8 * 2 / (1 << 20) + 64;
        QImageReader::setAllocationLimit(int(megabytes));
    });
}

// Reads a picture through Qt's image plug-ins, the content deciding the
// format; the EXIF orientation is applied. Refuses pictures whose header
// claims more pixels than the limit before decoding them.
bool ReadWithQt(const QString& path, QImage* decoded, QString* error) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        *error = QStringLiteral("The file is not an image in a format Lumetra reads.");
        return false;
    }
    const QSize size = reader.size();
    if (size.isValid() &&
        std::int64_t(size.width()) * std::int64_t(size.height()) > kMaxSourcePixels) {
        *error = QStringLiteral("The image is too large (%1 x %2 pixels).")
                     .arg(size.width())
                     .arg(size.height());
        return false;
    }
    if (!reader.read(decoded) || decoded->isNull()) {
        *error = QStringLiteral("The image could not be decoded: %1").arg(reader.errorString());
        return false;
    }
    return true;
}

}  // namespace

ReadResult ReadImageFile(const QString& path) {
    RaiseAllocationLimitOnce();
    ReadResult result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = QStringLiteral("The file does not exist.");
        return result;
    }
    if (!info.isFile()) {
        result.error = QStringLiteral("This is not a file.");
        return result;
    }
    if (!info.isReadable()) {
        result.error = QStringLiteral("The file cannot be read (no permission).");
        return result;
    }

    QImage decoded;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("The file cannot be read: %1").arg(file.errorString());
            return result;
        }
        if (LooksLikeJpeg2000(file.peek(16))) {
            QString error;
            decoded = DecodeJpeg2000File(path, &error, kMaxSourcePixels);
            if (decoded.isNull()) {
                result.error = QStringLiteral("The image could not be decoded: %1").arg(error);
                return result;
            }
        }
    }
    if (decoded.isNull() && !ReadWithQt(path, &decoded, &result.error)) return result;
    if (std::int64_t(decoded.width()) * std::int64_t(decoded.height()) > kMaxSourcePixels) {
        result.error = QStringLiteral("The image is too large.");
        return result;
    }
    // The engine works in sRGB: a photo with another embedded profile
    // (Display P3, Adobe RGB) is converted so that it keeps its colours.
    const QColorSpace space = decoded.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        decoded.convertToColorSpace(QColorSpace::SRgb);
    result.image = Image::FromQImage(decoded);
    if (result.image.isEmpty()) result.error = QStringLiteral("Not enough memory for the image.");
    return result;
}

}  // namespace lumetra
