// SPDX-License-Identifier: GPL-3.0-or-later
// AVIF through libavif: reading with the fastest AV1 decoder it was built
// with (dav1d on Debian), writing with libaom (see EncodeAvif for why).
// libavif hands the file's rotation and mirroring (irot, imir) over rather
// than applying them; they are applied here, and the Exif orientation such
// a file may also carry is not applied a second time.
#include "files/AvifCodec.h"

#include <avif/avif.h>

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "files/CodecReaders.h"
#include "files/ExifOrientation.h"
#include "files/Owned.h"
#include "files/SaveBitmap.h"
#include "render/BufferPool.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using Decoder = Owned<avifDecoder, avifDecoderDestroy>;

int Threads() {
    return std::max(1, QThread::idealThreadCount());
}

QString Why(avifResult result) {
    return QStringLiteral("The image could not be decoded: %1")
        .arg(QString::fromUtf8(avifResultToString(result)));
}

// The decoder with the file parsed: its header read, no pixel decoded.
Decoder Parse(const QByteArray& data, QString* error, bool properties = false) {
    Decoder decoder(avifDecoderCreate());
    if (!decoder) {
        *error = QStringLiteral("Not enough memory for the image.");
        return {};
    }
    decoder->maxThreads = Threads();
    decoder->ignoreExif = !properties;
    decoder->ignoreXMP = !properties;
    avifResult result = avifDecoderSetIOMemory(
        decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
    if (result == AVIF_RESULT_OK) result = avifDecoderParse(decoder.get());
    if (result != AVIF_RESULT_OK) {
        *error = Why(result);
        return {};
    }
    return decoder;
}

// The Exif orientation that does what the file's irot and imir ask:
// rotate anticlockwise by angle quarter turns, then mirror.
int OrientationOfTransforms(const avifImage* image) {
    static constexpr int kByAngle[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    const int angle = image->transformFlags & AVIF_TRANSFORM_IROT ? image->irot.angle & 3 : 0;
    const int mirror = image->transformFlags & AVIF_TRANSFORM_IMIR ? 1 + (image->imir.mode & 1) : 0;
    return kByAngle[angle][mirror];
}

// Turns the decoded frame into RGBA in `picture` (8 or 16 bits, as large as
// the frame). libavif converts on one thread, so the frame is converted in
// bands of rows, each a view of the frame, on every core. A band starts on
// an even row, so that subsampled chroma rows are never split. Where the
// chroma has half the rows, its upsampling reads the neighbouring chroma
// rows: such a band is converted with a chroma row more on each side into
// scratch rows and only its own rows are kept, so the seams are exactly
// what one conversion gives.
avifResult ConvertToRgb(const avifImage* image, QImage* picture) {
    const int height = int(image->height);
    const int pairs = (height + 1) / 2;
    const int margin = image->yuvFormat == AVIF_PIXEL_FORMAT_YUV420 ? 2 : 0;
    const std::size_t rowBytes = std::size_t(picture->bytesPerLine());
    uchar* const frame = picture->bits();  // detached once, before the bands start
    std::atomic<int> failure{AVIF_RESULT_OK};
    ParallelBands(pairs, std::int64_t(image->width) * 2, [&](int p0, int p1) {
        const int y0 = 2 * p0;
        const int y1 = std::min(height, 2 * p1);
        const int from = std::max(0, y0 - margin);
        const int to = std::min(height, y1 + margin);
        const Owned<avifImage, avifImageDestroy> band(avifImageCreateEmpty());
        if (!band) {
            failure = AVIF_RESULT_OUT_OF_MEMORY;
            return;
        }
        std::vector<uint8_t> scratch;
        const bool direct = from == y0 && to == y1;
        try {
            if (!direct) scratch.resize(std::size_t(to - from) * rowBytes);
        } catch (const std::bad_alloc&) {
            failure = AVIF_RESULT_OUT_OF_MEMORY;
            return;
        }
        const avifCropRect rect{0, uint32_t(from), image->width, uint32_t(to - from)};
        avifResult result = avifImageSetViewRect(band.get(), image, &rect);
        if (result == AVIF_RESULT_OK) {
            avifRGBImage rgb;
            avifRGBImageSetDefaults(&rgb, band.get());
            rgb.format = AVIF_RGB_FORMAT_RGBA;
            rgb.depth = image->depth > 8 ? 16 : 8;
            rgb.pixels = direct ? frame + std::size_t(y0) * rowBytes : scratch.data();
            rgb.rowBytes = uint32_t(rowBytes);
            result = avifImageYUVToRGB(band.get(), &rgb);
        }
        if (result != AVIF_RESULT_OK) {
            failure = result;
        } else if (!direct) {
            for (int y = y0; y < y1; ++y)
                std::memcpy(frame + std::size_t(y) * rowBytes,
                            scratch.data() + std::size_t(y - from) * rowBytes, rowBytes);
        }
    });
    return avifResult(failure.load());
}

}  // namespace

QSize AvifSize(const QByteArray& data, QString* error) {
    const Decoder decoder = Parse(data, error);
    if (!decoder) return {};
    return OrientedSize(QSize(int(decoder->image->width), int(decoder->image->height)),
                        OrientationOfTransforms(decoder->image));
}

CodecPicture DecodeAvif(const QByteArray& data, std::int64_t maxPixels) {
    CodecPicture out;
    const Decoder decoder = Parse(data, &out.error);
    if (!decoder) return out;
    const avifImage* header = decoder->image;
    if (CodecAboveLimit(header->width, header->height, maxPixels))
        return CodecFailure(CodecTooLarge(header->width, header->height));
    // The first frame of a sequence.
    const avifResult result = avifDecoderNextImage(decoder.get());
    if (result != AVIF_RESULT_OK) return CodecFailure(Why(result));
    const avifImage* image = decoder->image;
    const bool deep = image->depth > 8;
    const int width = int(image->width);
    const int height = int(image->height);
    // From the frame pool, warm from earlier opens.
    QImage picture =
        AcquireImage(width, height, deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (picture.isNull()) return CodecFailure(QStringLiteral("Not enough memory for the image."));
    const avifResult converted = ConvertToRgb(image, &picture);
    if (converted != AVIF_RESULT_OK) return CodecFailure(Why(converted));
    if (image->icc.size > 0)
        SetColourSpaceFromIcc(&picture, QByteArray(reinterpret_cast<const char*>(image->icc.data),
                                                   qsizetype(image->icc.size)));
    else
        SetColourSpaceFromCicp(&picture, int(image->colorPrimaries),
                               int(image->transferCharacteristics));
    const int orientation = OrientationOfTransforms(image);
    out.image = orientation == 1 ? std::move(picture) : ApplyExifOrientation(picture, orientation);
    if (out.image.isNull()) out.error = QStringLiteral("Not enough memory for the image.");
    return out;
}

EmbeddedProperties AvifProperties(const QByteArray& data) {
    EmbeddedProperties properties;
    QString error;
    const Decoder decoder = Parse(data, &error, true);
    if (!decoder) return properties;
    const avifImage* image = decoder->image;
    if (image->exif.size > 0) {
        properties.exif = QByteArray(reinterpret_cast<const char*>(image->exif.data),
                                     qsizetype(image->exif.size));
        // libavif hands the Exif item's payload on from its TIFF header,
        // or with the offset before it, depending on its version.
        if (!properties.exif.startsWith("II") && !properties.exif.startsWith("MM"))
            properties.exif = ExifAfterOffset(properties.exif);
    }
    if (image->xmp.size > 0)
        properties.xmp =
            QByteArray(reinterpret_cast<const char*>(image->xmp.data), qsizetype(image->xmp.size));
    return properties;
}

int AvifQuantizer(double quality) {
    const double q = quality >= 1.0 ? 1.0 : (quality > 0.0 ? quality : 0.0);
    return int(std::lround((1.0 - q) * AVIF_QUANTIZER_WORST_QUALITY));
}

QByteArray EncodeAvif(const QImage& bitmap, double quality, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return QByteArray();
    };
    if (!IsSaveBitmap(bitmap)) return fail(QStringLiteral("There is no RGBA bitmap to encode."));
    const bool alpha = HasTransparentPixels(bitmap);
    Owned<avifImage, avifImageDestroy> image(avifImageCreate(
        uint32_t(bitmap.width()), uint32_t(bitmap.height()), 8, AVIF_PIXEL_FORMAT_YUV420));
    if (!image) return fail(QStringLiteral("Not enough memory."));
    // The bitmap is sRGB: say so in the code points, as a browser reads them.
    image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
    image->yuvRange = AVIF_RANGE_FULL;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image.get());
    rgb.format = IsBlueFirst(bitmap) ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.ignoreAlpha = !alpha || !bitmap.hasAlphaChannel();
    rgb.pixels = const_cast<uint8_t*>(bitmap.constBits());
    rgb.rowBytes = uint32_t(bitmap.bytesPerLine());
    if (avifImageRGBToYUV(image.get(), &rgb) != AVIF_RESULT_OK)
        return fail(QStringLiteral("The picture could not be converted for AVIF."));

    Owned<avifEncoder, avifEncoderDestroy> encoder(avifEncoderCreate());
    if (!encoder) return fail(QStringLiteral("Not enough memory."));
    encoder->codecChoice = kAvifEncoderCodec;
    encoder->speed = kAvifEncoderSpeed;
    encoder->maxThreads = Threads();
    const int quantizer = AvifQuantizer(quality);
    encoder->minQuantizer = encoder->maxQuantizer = quantizer;
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = quantizer;
    avifRWData output = AVIF_DATA_EMPTY;
    const avifResult result = avifEncoderWrite(encoder.get(), image.get(), &output);
    if (result != AVIF_RESULT_OK) {
        avifRWDataFree(&output);
        return fail(QString::fromUtf8(avifResultToString(result)));
    }
    QByteArray bytes(reinterpret_cast<const char*>(output.data), qsizetype(output.size));
    avifRWDataFree(&output);
    return bytes;
}

}  // namespace lumetra
