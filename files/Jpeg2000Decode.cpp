// SPDX-License-Identifier: GPL-3.0-or-later
// Reading JP2 files and J2K codestreams with OpenJPEG. Everything a file
// claims about itself is checked before memory is spent on it.
#include <QColorSpace>
#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <vector>

#include "files/Jpeg2000.h"
#include "files/Jpeg2000Stream.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr unsigned char kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                             0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr unsigned char kCodestreamStart[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC then SIZ
constexpr OPJ_UINT32 kMaxComponents = 5;  // CMYK with alpha is the most we show
constexpr OPJ_UINT32 kMaxPrecision = 31;

QImage Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return {};
}

bool StartsWith(const QByteArray& data, const unsigned char* magic, std::size_t length) {
    return std::size_t(data.size()) >= length && std::memcmp(data.constData(), magic, length) == 0;
}

enum class Colours { Grey, Rgb, Ycc, Cmyk };

// One component read as floats in 0..1 at the picture's pixel grid.
// Subsampled components are stretched by nearest neighbour.
struct Channel {
    const OPJ_INT32* data = nullptr;
    int width = 0;
    float offset = 0.f;  // added to a sample before scaling (signed data)
    float scale = 1.f;   // 1 / (2^precision - 1)
    int maxValue = 0;
    std::vector<int> column;  // picture x to component x

    void Setup(const opj_image_comp_t& comp, int pictureWidth) {
        data = comp.data;
        width = int(comp.w);
        maxValue = int((std::uint64_t(1) << comp.prec) - 1);
        offset = comp.sgnd ? float(std::uint64_t(1) << (comp.prec - 1)) : 0.f;
        scale = 1.f / float(maxValue);
        column.resize(std::size_t(pictureWidth));
        for (int x = 0; x < pictureWidth; ++x)
            column[std::size_t(x)] = int(std::int64_t(x) * comp.w / OPJ_UINT32(pictureWidth));
    }
    const OPJ_INT32* Row(int y, int pictureHeight, const opj_image_comp_t& comp) const {
        const auto cy = std::int64_t(y) * comp.h / OPJ_UINT32(pictureHeight);
        return data + cy * width;
    }
    float At(const OPJ_INT32* row, int x) const {
        const float v = (float(row[column[std::size_t(x)]]) + offset) * scale;
        return v < 0.f ? 0.f : (v > 1.f ? 1.f : v);
    }
};

bool ValidComponent(const opj_image_comp_t& comp) {
    return comp.dx >= 1 && comp.dy >= 1 && comp.prec >= 1 && comp.prec <= kMaxPrecision;
}

// Whether the picture's three colour channels are luma and chroma: declared
// so, or left undeclared with chroma coarser than luma (the usual sign).
bool IsYcc(const opj_image_t& image) {
    if (image.color_space == OPJ_CLRSPC_SYCC) return true;
    if (image.color_space != OPJ_CLRSPC_UNKNOWN && image.color_space != OPJ_CLRSPC_UNSPECIFIED)
        return false;
    return image.comps[0].dx == 1 && image.comps[0].dy == 1 &&
           (image.comps[1].dx > 1 || image.comps[1].dy > 1 || image.comps[2].dx > 1 ||
            image.comps[2].dy > 1);
}

// The decoder for a JP2 file (jp2) or a J2K codestream, strict; null
// with the reason in *error when it cannot be set up.
jp2::CodecPtr MakeDecoder(bool jp2, jp2::Messages* messages, QString* error) {
    jp2::CodecPtr codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!codec || !opj_setup_decoder(codec.get(), &parameters)) {
        Fail(error, QStringLiteral("The JPEG 2000 decoder could not be started."));
        return {};
    }
    messages->Attach(codec.get());
    // Decoding stays strict: OpenJPEG's lenient mode, which would decode a
    // codestream cut short as far as it goes, believes the length a tile
    // part claims and allocates it, so that a file of a few bytes claiming
    // a 4 GB tile part takes 4 GB. A cut file is refused instead.
    opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);
    return codec;
}

// Reads the header from stream and checks the size and channels the file
// claims, before any pixel is decoded; null with the reason in *error.
jp2::ImagePtr ReadHeader(opj_codec_t* codec, opj_stream_t* stream, const jp2::Messages& messages,
                         std::int64_t maxPixels, QString* error) {
    opj_image_t* header = nullptr;
    const bool headerRead = opj_read_header(stream, codec, &header);
    jp2::ImagePtr image(header);
    const auto fail = [error](const QString& text) {
        Fail(error, text);
        return jp2::ImagePtr();
    };
    if (!headerRead || !image)
        return fail(QStringLiteral("The JPEG 2000 header is damaged: %1").arg(messages.error));
    if (image->x1 <= image->x0 || image->y1 <= image->y0)
        return fail(QStringLiteral("The JPEG 2000 file has no pixels."));
    const std::int64_t width = std::int64_t(image->x1) - image->x0;
    const std::int64_t height = std::int64_t(image->y1) - image->y0;
    if (width > INT_MAX / 8 || height > INT_MAX / 8 || width * height > maxPixels)
        return fail(
            QStringLiteral("The image is too large (%1 x %2 pixels).").arg(width).arg(height));
    if (image->numcomps < 1 || image->numcomps > kMaxComponents)
        return fail(QStringLiteral("A JPEG 2000 file with %1 channels cannot be shown.")
                        .arg(image->numcomps));
    for (OPJ_UINT32 c = 0; c < image->numcomps; ++c)
        if (!ValidComponent(image->comps[c]))
            return fail(QStringLiteral("The JPEG 2000 header is damaged."));
    return image;
}

}  // namespace

bool LooksLikeJpeg2000(const QByteArray& head) {
    return StartsWith(head, kJp2Signature, sizeof kJp2Signature) ||
           StartsWith(head, kCodestreamStart, sizeof kCodestreamStart);
}

QSize ReadJpeg2000Header(QIODevice* file, QString* error, std::int64_t maxPixels) {
    const QByteArray head = file->peek(sizeof kJp2Signature);
    const bool jp2 = StartsWith(head, kJp2Signature, sizeof kJp2Signature);
    if (!jp2 && !StartsWith(head, kCodestreamStart, sizeof kCodestreamStart)) {
        Fail(error, QStringLiteral("This is not a JPEG 2000 file."));
        return {};
    }
    jp2::Messages messages;
    jp2::CodecPtr codec = MakeDecoder(jp2, &messages, error);
    if (!codec) return {};
    jp2::StreamPtr stream = jp2::MakeDeviceReadStream(file);
    if (!stream) {
        Fail(error, QStringLiteral("The file cannot be read."));
        return {};
    }
    const jp2::ImagePtr image = ReadHeader(codec.get(), stream.get(), messages, maxPixels, error);
    if (!image) return {};
    return QSize(int(image->x1 - image->x0), int(image->y1 - image->y0));
}

QImage DecodeJpeg2000(const QByteArray& data, QString* error, std::int64_t maxPixels) {
    const bool jp2 = StartsWith(data, kJp2Signature, sizeof kJp2Signature);
    if (!jp2 && !StartsWith(data, kCodestreamStart, sizeof kCodestreamStart))
        return Fail(error, QStringLiteral("This is not a JPEG 2000 file."));

    jp2::Messages messages;
    jp2::CodecPtr codec = MakeDecoder(jp2, &messages, error);
    if (!codec) return {};
    if (opj_has_thread_support()) opj_codec_set_threads(codec.get(), WorkerThreads());

    jp2::ReadBuffer input{&data, 0};
    jp2::StreamPtr stream = jp2::MakeReadStream(&input);
    if (!stream) return Fail(error, QStringLiteral("Not enough memory to read the file."));
    jp2::ImagePtr image = ReadHeader(codec.get(), stream.get(), messages, maxPixels, error);
    if (!image) return {};
    const std::int64_t width = std::int64_t(image->x1) - image->x0;
    const std::int64_t height = std::int64_t(image->y1) - image->y0;

    if (!opj_decode(codec.get(), stream.get(), image.get()))
        return Fail(error, QStringLiteral("The JPEG 2000 data is damaged: %1").arg(messages.error));
    opj_end_decompress(codec.get(), stream.get());  // a short file still gives what it held

    // Decoding applies palettes and channel definitions, which can change
    // the channels: check them again.
    const OPJ_UINT32 count = image->numcomps;
    if (count < 1 || count > kMaxComponents)
        return Fail(
            error, QStringLiteral("A JPEG 2000 file with %1 channels cannot be shown.").arg(count));
    int precision = 0;
    for (OPJ_UINT32 c = 0; c < count; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (!comp.data || comp.w < 1 || comp.h < 1 || !ValidComponent(comp) ||
            std::int64_t(comp.w) > width || std::int64_t(comp.h) > height)
            return Fail(error, QStringLiteral("The JPEG 2000 data is damaged."));
        precision = std::max(precision, int(comp.prec));
    }

    Colours colours = Colours::Grey;
    OPJ_UINT32 colourCount = 1;
    if (count >= 3) {
        if (image->color_space == OPJ_CLRSPC_EYCC)
            return Fail(error,
                        QStringLiteral("The JPEG 2000 colour space e-YCC is not supported."));
        if (image->color_space == OPJ_CLRSPC_CMYK && count >= 4) {
            colours = Colours::Cmyk;
            colourCount = 4;
        } else {
            colours = IsYcc(*image) ? Colours::Ycc : Colours::Rgb;
            colourCount = 3;
        }
    }
    // The opacity channel: the one marked as such, else the one after the
    // colours (files without channel definitions put it last).
    int alphaIndex = -1;
    for (OPJ_UINT32 c = colourCount; c < count && alphaIndex < 0; ++c)
        if (image->comps[c].alpha) alphaIndex = int(c);
    if (alphaIndex < 0 && count > colourCount) alphaIndex = int(colourCount);

    const int w = int(width), h = int(height);
    const bool deep = precision > 8;
    QImage out(w, h, deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (out.isNull()) return Fail(error, QStringLiteral("Not enough memory for the image."));

    std::vector<Channel> channels(count);
    for (OPJ_UINT32 c = 0; c < count; ++c) channels[c].Setup(image->comps[c], w);

    ParallelBands(h, std::int64_t(w) * count, [&](int y0, int y1) {
        const OPJ_INT32* rows[kMaxComponents] = {};
        for (int y = y0; y < y1; ++y) {
            for (OPJ_UINT32 c = 0; c < count; ++c) rows[c] = channels[c].Row(y, h, image->comps[c]);
            uchar* line = out.scanLine(y);
            for (int x = 0; x < w; ++x) {
                float rgba[4] = {0.f, 0.f, 0.f, 1.f};
                const float first = channels[0].At(rows[0], x);
                switch (colours) {
                    case Colours::Grey:
                        rgba[0] = rgba[1] = rgba[2] = first;
                        break;
                    case Colours::Rgb:
                        rgba[0] = first;
                        rgba[1] = channels[1].At(rows[1], x);
                        rgba[2] = channels[2].At(rows[2], x);
                        break;
                    case Colours::Ycc: {
                        const float cb = channels[1].At(rows[1], x) - 0.5f;
                        const float cr = channels[2].At(rows[2], x) - 0.5f;
                        rgba[0] = first + 1.402f * cr;
                        rgba[1] = first - 0.344136f * cb - 0.714136f * cr;
                        rgba[2] = first + 1.772f * cb;
                        break;
                    }
                    case Colours::Cmyk: {
                        const float k = 1.f - channels[3].At(rows[3], x);
                        rgba[0] = (1.f - first) * k;
                        rgba[1] = (1.f - channels[1].At(rows[1], x)) * k;
                        rgba[2] = (1.f - channels[2].At(rows[2], x)) * k;
                        break;
                    }
                }
                rgba[3] = alphaIndex >= 0 ? channels[alphaIndex].At(rows[alphaIndex], x) : 1.f;
                for (float& v : rgba) v = v < 0.f ? 0.f : (v > 1.f ? 1.f : v);
                if (deep) {
                    auto* px = reinterpret_cast<quint16*>(line) + 4 * x;
                    for (int c = 0; c < 4; ++c) px[c] = quint16(rgba[c] * 65535.f + 0.5f);
                } else {
                    uchar* px = line + 4 * x;
                    for (int c = 0; c < 4; ++c) px[c] = uchar(rgba[c] * 255.f + 0.5f);
                }
            }
        }
    });

    if (image->icc_profile_buf && image->icc_profile_len > 0) {
        const QColorSpace space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(image->icc_profile_buf),
                       qsizetype(image->icc_profile_len)));
        if (space.isValid()) out.setColorSpace(space);
    }
    return out;
}

}  // namespace lumetra
