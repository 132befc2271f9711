// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ImageReader.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>

#include "files/CodecReaders.h"
#include "files/DamageCheck.h"
#include "files/ExifOrientation.h"
#include "files/Jpeg2000.h"
#include "files/JpegDecoder.h"
#include "render/ImageTools.h"

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

struct Decoded {
    QImage image;  // as stored
    QString error;
    QString damage;
    int orientation = 1;  // what turns image upright
};

// Fails with the reason in *error.
bool Fail(QString* error, const QString& text) {
    *error = text;
    return false;
}

bool AboveLimit(const QSize& size, std::int64_t maxPixels) {
    return std::int64_t(size.width()) * std::int64_t(size.height()) > maxPixels;
}

// Opens the file at path for reading when it is a regular file that is not
// empty; else false with the reason in *error.
bool OpenSource(const QString& path, QFile* file, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) return Fail(error, QStringLiteral("The file does not exist."));
    if (!info.isFile()) return Fail(error, QStringLiteral("This is not a file."));
    file->setFileName(path);
    if (!file->open(QIODevice::ReadOnly))
        return Fail(error, QStringLiteral("The file cannot be read: %1").arg(file->errorString()));
    if (file->size() == 0) return Fail(error, QStringLiteral("The file is empty."));
    return true;
}

// A compressed file larger than this cannot hold a picture we accept.
bool FileSizeAllowed(const QFile& file, std::int64_t maxPixels, QString* error) {
    if (file.size() > maxPixels * 8 + (qint64(64) << 20))
        return Fail(error, QStringLiteral("The file is too large."));
    return true;
}

// The whole file, for the decoders that work from memory.
bool ReadAll(QFile* file, std::int64_t maxPixels, QByteArray* data, QString* error) {
    if (!FileSizeAllowed(*file, maxPixels, error)) return false;
    *data = file->readAll();
    if (file->error() != QFileDevice::NoError)
        return Fail(error, QStringLiteral("The file cannot be read: %1").arg(file->errorString()));
    return true;
}

Decoded ReadJpeg(const QByteArray& data, std::int64_t maxPixels, int scaleDenominator) {
    Decoded out;
    JpegDecoded jpeg = DecodeJpeg(data, maxPixels, scaleDenominator);
    out.image = std::move(jpeg.image);
    out.error = jpeg.error;
    if (jpeg.damaged) out.damage = jpeg.damage;
    if (!out.image.isNull()) out.orientation = SourceOrientation(data);
    return out;
}

Decoded ReadJpeg2000(const QByteArray& data, std::int64_t maxPixels) {
    Decoded out;
    QString error;
    out.image = DecodeJpeg2000(data, &error, maxPixels);
    if (out.image.isNull()) {
        out.error = QStringLiteral("The image could not be decoded: %1").arg(error);
        return out;
    }
    out.damage = FindJpeg2000Damage(data);
    out.orientation = SourceOrientation(data);
    return out;
}

// HEIC, AVIF, WebP, JPEG XL and camera raw files, through their own
// libraries, which hand the picture over already upright.
Decoded ReadWithCodec(const QByteArray& data, CodecFormat format, std::int64_t maxPixels) {
    Decoded out;
    CodecPicture picture = DecodeWithCodec(format, data, maxPixels);
    out.image = std::move(picture.image);
    out.error = picture.error;
    out.damage = picture.damage;
    return out;
}

// The size a picture Qt reads claims in its header, read with reader.
// For GIF the screen counts, which Qt allocates whatever the frames' size;
// for BMP the header's own numbers, which Qt does not report.
QSize ClaimedSizeWithQt(QImageReader* reader, QFile* file) {
    const QSize claimed = ClaimedSize(file->peek(32), reader->format());
    return claimed.isValid() ? claimed : reader->size();
}

const QString kNotAPicture = QStringLiteral("The file is not an image in a format Lumetra reads.");

// PNG, TIFF, GIF, BMP and whatever else Qt's plug-ins read, the content
// deciding the format. Qt leaves the pixels as stored: the orientation is
// ours to read, as for every format. Pictures whose header claims more
// pixels than the limit are refused before decoding.
Decoded ReadWithQt(QFile* file, std::int64_t maxPixels) {
    Decoded out;
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        out.error = kNotAPicture;
        return out;
    }
    const QByteArray format = reader.format();
    const QSize size = ClaimedSizeWithQt(&reader, file);
    if (size.isValid() && AboveLimit(size, maxPixels)) {
        out.error = CodecTooLarge(size.width(), size.height());
        return out;
    }
    if (!reader.read(&out.image) || out.image.isNull()) {
        out.image = QImage();
        out.error = QStringLiteral("The image could not be decoded: %1").arg(reader.errorString());
        return out;
    }
    // Qt's readers give what they could decode of a file cut short without
    // a word: the file's own structure says whether it was all there.
    out.damage = FindStructuralDamage(file, format);
    out.orientation = SourceOrientation(file);
    return out;
}

ReadResult Read(const QString& path, std::int64_t maxPixels, int jpegScaleDenominator = 1) {
    ReadResult result;
    QFile file;
    if (!OpenSource(path, &file, &result.error)) return result;

    const QByteArray head = file.peek(64);
    const CodecFormat codec = CodecFormatOf(head, path);
    Decoded decoded;
    if (codec == CodecFormat::None && !LooksLikeJpeg2000(head) && !LooksLikeJpeg(head)) {
        decoded = ReadWithQt(&file, maxPixels);
    } else {
        // The other decoders work from the whole file in memory.
        QByteArray data;
        if (!ReadAll(&file, maxPixels, &data, &result.error)) return result;
        decoded = codec != CodecFormat::None ? ReadWithCodec(data, codec, maxPixels)
                  : LooksLikeJpeg2000(head)  ? ReadJpeg2000(data, maxPixels)
                                             : ReadJpeg(data, maxPixels, jpegScaleDenominator);
    }
    if (decoded.image.isNull()) {
        result.error = decoded.error.isEmpty() ? QStringLiteral("The image could not be decoded.")
                                               : decoded.error;
        return result;
    }
    if (AboveLimit(decoded.image.size(), maxPixels)) {
        result.error = CodecTooLarge(decoded.image.width(), decoded.image.height());
        return result;
    }
    QImage image = ApplyExifOrientation(decoded.image, decoded.orientation);
    decoded.image = QImage();
    if (image.isNull()) {
        result.error = QStringLiteral("Not enough memory for the image.");
        return result;
    }
    // The engine works in sRGB: a photo with another embedded profile
    // (Display P3, Adobe RGB) is converted so that it keeps its colours.
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    result.image = Image::FromQImage(image);
    if (result.image.isEmpty()) {
        result.error = QStringLiteral("Not enough memory for the image.");
        return result;
    }
    if (!decoded.damage.isEmpty()) {
        result.damaged = true;
        result.damage = decoded.damage;
    }
    return result;
}

// The stored picture's size from the header of the file, open at its
// start; an invalid size with the reason in *error when it cannot be read.
QSize HeaderSize(QFile* file, std::int64_t maxPixels, QString* error) {
    const QByteArray head = file->peek(16);
    if (LooksLikeJpeg2000(head) || LooksLikeJpeg(head)) {
        if (!FileSizeAllowed(*file, maxPixels, error)) return {};
        return LooksLikeJpeg(head) ? ReadJpegHeader(file, error)
                                   : ReadJpeg2000Header(file, error, maxPixels);
    }
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        *error = kNotAPicture;
        return {};
    }
    const QSize size = ClaimedSizeWithQt(&reader, file);
    if (!size.isValid() || size.isEmpty()) {
        *error = QStringLiteral("The image header is damaged: %1").arg(reader.errorString());
        return {};
    }
    return size;
}

ProbeResult Probe(const QString& path, std::int64_t maxPixels) {
    ProbeResult result;
    QFile file;
    if (!OpenSource(path, &file, &result.error)) return result;
    const CodecFormat codec = CodecFormatOf(file.peek(64), path);
    QSize size;
    if (codec != CodecFormat::None) {
        QByteArray data;
        if (!ReadAll(&file, maxPixels, &data, &result.error)) return result;
        size = CodecHeaderSize(codec, data, &result.error);
    } else {
        size = HeaderSize(&file, maxPixels, &result.error);
    }
    if (!size.isValid() || size.isEmpty()) {
        if (result.error.isEmpty()) result.error = QStringLiteral("The image header is damaged.");
        return result;
    }
    if (AboveLimit(size, maxPixels)) {
        result.error = CodecTooLarge(size.width(), size.height());
        return result;
    }
    // The codecs' headers give the upright size; the others the stored one.
    result.size = codec != CodecFormat::None ? size : OrientedSize(size, SourceOrientation(&file));
    return result;
}

// A probe or a read that runs out of memory fails with the reason instead
// of throwing.
template <class Result, class Work>
Result Guarded(const Work& work) {
    RaiseAllocationLimitOnce();
    try {
        return work();
    } catch (const std::exception&) {
        Result result;
        result.error = QStringLiteral("Not enough memory for the image.");
        return result;
    }
}

}  // namespace

const QStringList& SourceExtensions() {
    static const QStringList extensions = [] {
        QStringList list = {"jpg", "jpeg", "jpe",  "jp2",  "jpx",  "png",  "tiff", "tif",
                            "gif", "bmp",  "heic", "heif", "avif", "webp", "jxl"};
        list += RawExtensions();
        return list;
    }();
    return extensions;
}

ProbeResult ProbeImageFile(const QString& path, std::int64_t maxPixels) {
    return Guarded<ProbeResult>([&] { return Probe(path, maxPixels); });
}

ReadResult ReadImageFile(const QString& path, std::int64_t maxPixels) {
    return Guarded<ReadResult>([&] { return Read(path, maxPixels); });
}

Image ReadReducedCopy(const QString& path, const Image& full, double scale) {
    if (!(scale > 0.0 && scale < 1.0) || full.isEmpty()) return Image();
    const double width = std::max(1.0, std::round(full.width() * scale));
    const double height = std::max(1.0, std::round(full.height() * scale));
    try {
        // A JPEG is decoded again at the largest DCT reduction that still
        // holds the copy's pixels; other formats are reduced from the full
        // decode already in memory.
        Image source = full;
        int denominator = 1;
        while (denominator < 8 && 1.0 / (2 * denominator) >= scale) denominator *= 2;
        QFile file(path);
        if (denominator > 1 && file.open(QIODevice::ReadOnly) && LooksLikeJpeg(file.peek(16))) {
            file.close();
            const ReadResult reduced = Read(path, kMaxSourcePixels, denominator);
            if (!reduced.ok() || reduced.damaged) return Image();
            source = reduced.image;
        }
        const Image resized = ImageTools::ResizeImage(source, width, height);
        return Image::FromQImage(resized.toQImage());
    } catch (const std::exception&) {
        return Image();
    }
}

}  // namespace lumetra
