// SPDX-License-Identifier: GPL-3.0-or-later
// HEIC and HEIF through libheif. libheif applies the file's own rotation,
// mirroring and crop (irot, imir, clap) while decoding, which is what the
// format asks for: the Exif orientation such a file may also carry only
// repeats them and is never applied a second time.
#include <libheif/heif.h>

#include <algorithm>
#include <cstring>

#include "files/CodecReaders.h"
#include "files/Owned.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using Context = Owned<heif_context, heif_context_free>;
using Handle = Owned<heif_image_handle, heif_image_handle_release>;

QString Why(const heif_error& error) {
    // libheif's own limits on a picture's size speak as the editor's do.
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return QStringLiteral("The image is too large (%1).").arg(QString::fromUtf8(error.message));
    return QStringLiteral("The image could not be decoded: %1")
        .arg(QString::fromUtf8(error.message));
}

// The file's primary picture; null with the reason in *error.
Handle OpenPrimary(const QByteArray& data, Context* context, QString* error) {
    context->reset(heif_context_alloc());
    if (!*context) {
        *error = QStringLiteral("Not enough memory for the image.");
        return {};
    }
    heif_error e = heif_context_read_from_memory_without_copy(context->get(), data.constData(),
                                                              size_t(data.size()), nullptr);
    if (e.code != heif_error_Ok) {
        *error = Why(e);
        return {};
    }
    heif_image_handle* handle = nullptr;
    e = heif_context_get_primary_image_handle(context->get(), &handle);
    if (e.code != heif_error_Ok || !handle) {
        *error = Why(e);
        return {};
    }
    return Handle(handle);
}

void TakeColourSpace(const heif_image_handle* handle, QImage* image) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
        if (!icc.isEmpty() &&
            heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            SetColourSpaceFromIcc(image, icc);
        return;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        SetColourSpaceFromCicp(image, int(nclx->color_primaries),
                               int(nclx->transfer_characteristics));
        heif_nclx_color_profile_free(nclx);
    }
}

}  // namespace

QSize HeifSize(const QByteArray& data, QString* error) {
    Context context;
    const Handle handle = OpenPrimary(data, &context, error);
    if (!handle) return {};
    return QSize(heif_image_handle_get_width(handle.get()),
                 heif_image_handle_get_height(handle.get()));
}

CodecPicture DecodeHeif(const QByteArray& data, std::int64_t maxPixels) {
    CodecPicture out;
    Context context;
    const Handle handle = OpenPrimary(data, &context, &out.error);
    if (!handle) return out;
    // The stored size before turning decides what decoding allocates.
    const int storedWidth = heif_image_handle_get_ispe_width(handle.get());
    const int storedHeight = heif_image_handle_get_ispe_height(handle.get());
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (CodecAboveLimit(storedWidth, storedHeight, maxPixels) ||
        CodecAboveLimit(width, height, maxPixels))
        return CodecFailure(
            CodecTooLarge(std::max(storedWidth, width), std::max(storedHeight, height)));
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool deep = bits > 8;
    Owned<heif_decoding_options, heif_decoding_options_free> options(heif_decoding_options_alloc());
    heif_image* decodedRaw = nullptr;
    const heif_error e = heif_decode_image(
        handle.get(), &decodedRaw, heif_colorspace_RGB,
        deep ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RGBA, options.get());
    const Owned<heif_image, heif_image_release> decoded(decodedRaw);
    if (e.code != heif_error_Ok || !decoded) return CodecFailure(Why(e));
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!plane || w <= 0 || h <= 0)
        return CodecFailure(QStringLiteral("The image could not be decoded."));
    QImage image(w, h, deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (image.isNull()) return CodecFailure(QStringLiteral("Not enough memory for the image."));
    const qsizetype rowBytes = qsizetype(w) * (deep ? 8 : 4);
    uchar* pixels = image.bits();  // detached once, before the bands start
    const qsizetype lineBytes = image.bytesPerLine();
    ParallelBands(h, w, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            std::memcpy(pixels + y * lineBytes, plane + qsizetype(y) * stride, size_t(rowBytes));
    });
    if (deep)
        SpreadToSixteenBits(
            &image, heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved));
    TakeColourSpace(handle.get(), &image);
    out.image = std::move(image);
    return out;
}

EmbeddedProperties HeifProperties(const QByteArray& data) {
    EmbeddedProperties properties;
    Context context;
    QString error;
    const Handle handle = OpenPrimary(data, &context, &error);
    if (!handle) return properties;
    heif_item_id ids[16];
    const int count =
        heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), nullptr, ids, 16);
    for (int i = 0; i < count; ++i) {
        const QByteArray type = heif_image_handle_get_metadata_type(handle.get(), ids[i]);
        const QByteArray contentType =
            heif_image_handle_get_metadata_content_type(handle.get(), ids[i]);
        const bool exif = type == "Exif";
        const bool xmp = type == "mime" && contentType == "application/rdf+xml";
        if (!(exif && properties.exif.isEmpty()) && !(xmp && properties.xmp.isEmpty())) continue;
        const size_t size = heif_image_handle_get_metadata_size(handle.get(), ids[i]);
        if (size == 0 || size > (size_t(64) << 20)) continue;
        QByteArray block(qsizetype(size), '\0');
        if (heif_image_handle_get_metadata(handle.get(), ids[i], block.data()).code !=
            heif_error_Ok)
            continue;
        if (exif)
            properties.exif = ExifAfterOffset(block);
        else
            properties.xmp = block;
    }
    return properties;
}

}  // namespace lumetra
