// SPDX-License-Identifier: GPL-3.0-or-later
// WebP through libwebp: still pictures and the first frame of animated
// ones, both through the demuxer, which also hands out the ICC profile,
// the Exif and the XMP chunks.
#include "files/WebpCodec.h"
#include "files/Owned.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>

#include "files/CodecReaders.h"
#include "files/ExifOrientation.h"
#include "files/ImageEncoders.h"
#include "files/SaveBitmap.h"
#include "render/BufferPool.h"

namespace lumetra {
namespace {

using Demuxer = Owned<WebPDemuxer, WebPDemuxDelete>;

Demuxer Demux(const QByteArray& data) {
    WebPData webp{reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())};
    return Demuxer(WebPDemux(&webp));
}

QByteArray Chunk(WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator chunk;
    QByteArray bytes;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk))
        bytes = QByteArray(reinterpret_cast<const char*>(chunk.chunk.bytes),
                           qsizetype(chunk.chunk.size));
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

const QString kDamaged =
    QStringLiteral("The image could not be decoded: the WebP data is damaged.");

}  // namespace

QSize WebpSize(const QByteArray& data, QString* error) {
    const Demuxer demux = Demux(data);
    if (!demux) {
        *error = kDamaged;
        return {};
    }
    const QSize stored(int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH)),
                       int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT)));
    return OrientedSize(stored, ExifBlockOrientation(Chunk(demux.get(), "EXIF")));
}

CodecPicture DecodeWebp(const QByteArray& data, std::int64_t maxPixels) {
    CodecPicture out;
    const Demuxer demux = Demux(data);
    if (!demux) return CodecFailure(kDamaged);
    const int width = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    if (CodecAboveLimit(width, height, maxPixels))
        return CodecFailure(CodecTooLarge(width, height));
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) return CodecFailure(kDamaged);
    // From the frame pool, warm from earlier opens.
    QImage canvas = AcquireImage(width, height, QImage::Format_RGBA8888);
    if (canvas.isNull()) {
        WebPDemuxReleaseIterator(&frame);
        return CodecFailure(QStringLiteral("Not enough memory for the image."));
    }
    // Only a frame smaller than the canvas leaves pixels to clear.
    if (frame.x_offset != 0 || frame.y_offset != 0 || frame.width != width ||
        frame.height != height)
        canvas.fill(Qt::transparent);
    bool decoded = false;
    // The first frame lies on a transparent canvas at its offset; it is
    // decoded straight into the canvas's rows.
    if (frame.x_offset >= 0 && frame.y_offset >= 0 && frame.width > 0 && frame.height > 0 &&
        frame.x_offset + frame.width <= width && frame.y_offset + frame.height <= height) {
        WebPDecoderConfig config;
        WebPInitDecoderConfig(&config);
        config.options.use_threads = 1;
        config.output.colorspace = MODE_RGBA;
        config.output.is_external_memory = 1;
        const int stride = int(canvas.bytesPerLine());
        uint8_t* start = canvas.bits() + qsizetype(frame.y_offset) * stride + frame.x_offset * 4;
        config.output.u.RGBA.rgba = start;
        config.output.u.RGBA.stride = stride;
        config.output.u.RGBA.size =
            size_t(stride) * size_t(frame.height - 1) + size_t(frame.width) * 4;
        decoded = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config) == VP8_STATUS_OK;
        WebPFreeDecBuffer(&config.output);
    }
    WebPDemuxReleaseIterator(&frame);
    if (!decoded) return CodecFailure(kDamaged);
    SetColourSpaceFromIcc(&canvas, Chunk(demux.get(), "ICCP"));
    const int orientation = ExifBlockOrientation(Chunk(demux.get(), "EXIF"));
    out.image = orientation == 1 ? std::move(canvas) : ApplyExifOrientation(canvas, orientation);
    if (out.image.isNull()) out.error = QStringLiteral("Not enough memory for the image.");
    return out;
}

EmbeddedProperties WebpProperties(const QByteArray& data) {
    EmbeddedProperties properties;
    const Demuxer demux = Demux(data);
    if (!demux) return properties;
    properties.exif = Chunk(demux.get(), "EXIF");
    // Some writers keep the "Exif\0\0" of a JPEG segment in front.
    if (properties.exif.startsWith(QByteArrayLiteral("Exif\0\0"))) properties.exif.remove(0, 6);
    properties.xmp = Chunk(demux.get(), "XMP ");
    return properties;
}

QByteArray EncodeWebp(const QImage& bitmap, double quality, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return QByteArray();
    };
    if (!IsSaveBitmap(bitmap)) return fail(QStringLiteral("There is no RGBA bitmap to encode."));
    if (bitmap.width() > WEBP_MAX_DIMENSION || bitmap.height() > WEBP_MAX_DIMENSION)
        return fail(QStringLiteral("WebP holds pictures of at most 16383 x 16383 pixels."));
    WebPConfig config;
    if (!WebPConfigInit(&config)) return fail(QStringLiteral("libwebp could not be set up."));
    config.quality = float(JpegQuality(quality));
    config.method = kWebpMethod;
    config.thread_level = 1;
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return fail(QStringLiteral("libwebp could not be set up."));
    // Lossy: imported straight into YUV, as cwebp does, instead of through
    // a whole ARGB copy that the encoder converts again.
    picture.use_argb = 0;
    picture.width = bitmap.width();
    picture.height = bitmap.height();
    const bool alpha = HasTransparentPixels(bitmap);
    const bool blueFirst = IsBlueFirst(bitmap);
    const int stride = int(bitmap.bytesPerLine());
    const uint8_t* bytes = bitmap.constBits();
    const int imported = alpha ? (blueFirst ? WebPPictureImportBGRA(&picture, bytes, stride)
                                            : WebPPictureImportRGBA(&picture, bytes, stride))
                               : (blueFirst ? WebPPictureImportBGRX(&picture, bytes, stride)
                                            : WebPPictureImportRGBX(&picture, bytes, stride));
    if (!imported) {
        WebPPictureFree(&picture);
        return fail(QStringLiteral("Not enough memory."));
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    QByteArray out;
    if (ok) out = QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    if (!ok) return fail(QStringLiteral("libwebp could not encode the picture."));
    return out;
}

QByteArray WebpWithProperties(const QByteArray& webp, const QByteArray& exif,
                              const QByteArray& xmp) {
    const WebPData input{reinterpret_cast<const uint8_t*>(webp.constData()), size_t(webp.size())};
    WebPMux* mux = WebPMuxCreate(&input, 0);
    if (!mux) return {};
    bool ok = true;
    const auto set = [&](const char* fourcc, const QByteArray& block) {
        WebPMuxDeleteChunk(mux, fourcc);
        if (block.isEmpty()) return;
        const WebPData data{reinterpret_cast<const uint8_t*>(block.constData()),
                            size_t(block.size())};
        ok = ok && WebPMuxSetChunk(mux, fourcc, &data, 0) == WEBP_MUX_OK;
    };
    set("EXIF", exif);
    set("XMP ", xmp);
    WebPData assembled;
    WebPDataInit(&assembled);
    ok = ok && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
    QByteArray out;
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return out;
}

}  // namespace lumetra
