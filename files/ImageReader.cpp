// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ImageReader.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <mutex>

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

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        result.error = QStringLiteral("The file is not an image in a format Lumetra reads.");
        return result;
    }
    const QSize size = reader.size();
    if (size.isValid() &&
        std::int64_t(size.width()) * std::int64_t(size.height()) > kMaxSourcePixels) {
        result.error = QStringLiteral("The image is too large (%1 x %2 pixels).")
                           .arg(size.width())
                           .arg(size.height());
        return result;
    }
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull()) {
        result.error = QStringLiteral("The image could not be decoded: %1").arg(reader.errorString());
        return result;
    }
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
