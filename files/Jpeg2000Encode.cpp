// SPDX-License-Identifier: GPL-3.0-or-later
// Writing JP2 files with OpenJPEG.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "files/Jpeg2000.h"
#include "files/Jpeg2000Stream.h"
#include "files/SaveBitmap.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

// Ratios at the two ends of the compression factor's scale.
constexpr double kRatioAtBest = 4.0;   // factor 1.0: visually lossless
constexpr double kRatioSpread = 50.0;  // factor 0.0: 4 * 50 = 200:1

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

// The wavelet needs each resolution level to keep at least one sample, so a
// small picture gets fewer levels than the encoder's default of 6.
int ResolutionsFor(int width, int height) {
    const int shortSide = std::min(width, height);
    int levels = 6;
    while (levels > 1 && (1 << (levels - 1)) > shortSide) --levels;
    return levels;
}

}  // namespace

double Jpeg2000CompressionRatio(double quality) {
    const double q = quality >= 1.0 ? 1.0 : (quality > 0.0 ? quality : 0.0);
    return kRatioAtBest * std::pow(kRatioSpread, 1.0 - q);
}

QByteArray EncodeJpeg2000(const QImage& source, double quality, QString* error) {
    if (source.isNull()) {
        SetError(error, QStringLiteral("There is no picture to encode."));
        return {};
    }
    if (!std::isfinite(quality)) {
        SetError(error, QStringLiteral("The compression factor is not a number."));
        return {};
    }
    const QImage image =
        IsSaveBitmap(source) ? source : source.convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull()) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }
    const int width = image.width();
    const int height = image.height();
    const bool alpha = HasTransparentPixels(image);
    const int components = alpha ? 4 : 3;

    opj_image_cmptparm_t parameters[4] = {};
    for (int c = 0; c < components; ++c) {
        parameters[c].dx = 1;
        parameters[c].dy = 1;
        parameters[c].w = OPJ_UINT32(width);
        parameters[c].h = OPJ_UINT32(height);
        parameters[c].prec = 8;
        parameters[c].sgnd = 0;
    }
    jp2::ImagePtr planes(opj_image_create(OPJ_UINT32(components), parameters, OPJ_CLRSPC_SRGB));
    if (!planes) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }
    planes->x0 = 0;
    planes->y0 = 0;
    planes->x1 = OPJ_UINT32(width);
    planes->y1 = OPJ_UINT32(height);
    if (alpha) planes->comps[3].alpha = 1;  // written as an opacity channel

    // Interleaved bytes to one plane of 32-bit samples per channel, red
    // first whatever the bitmap's byte order.
    const int red = IsBlueFirst(image) ? 2 : 0;
    const int byteOf[4] = {red, 1, 2 - red, 3};
    ParallelBands(height, std::int64_t(width) * components, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* line = image.constScanLine(y);
            const std::size_t base = std::size_t(y) * std::size_t(width);
            for (int c = 0; c < components; ++c) {
                OPJ_INT32* out = planes->comps[c].data + base;
                for (int x = 0; x < width; ++x) out[x] = line[4 * x + byteOf[c]];
            }
        }
    });

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = float(Jpeg2000CompressionRatio(quality));
    settings.cp_disto_alloc = 1;
    settings.irreversible = 1;  // the 9/7 wavelet, the one meant for lossy coding
    settings.tcp_mct = 1;       // RGB to YCbCr before the wavelet
    settings.numresolution = ResolutionsFor(width, height);

    jp2::CodecPtr codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec) {
        SetError(error, QStringLiteral("The JPEG 2000 encoder could not be started."));
        return {};
    }
    jp2::Messages messages;
    messages.Attach(codec.get());
    if (!opj_setup_encoder(codec.get(), &settings, planes.get())) {
        SetError(error, messages.error);
        return {};
    }
    // The code-blocks are coded on OpenJPEG's own workers, as many as the
    // engine's kernels use.
    if (opj_has_thread_support()) opj_codec_set_threads(codec.get(), WorkerThreads());

    jp2::WriteBuffer out;
    jp2::StreamPtr stream = jp2::MakeWriteStream(&out);
    const bool encoded = stream && opj_start_compress(codec.get(), planes.get(), stream.get()) &&
                         opj_encode(codec.get(), stream.get()) &&
                         opj_end_compress(codec.get(), stream.get());
    if (!encoded || out.failed) {
        SetError(error, messages.error.isEmpty() ? QStringLiteral("The JPEG 2000 encoder failed.")
                                                 : messages.error);
        return {};
    }
    out.data.truncate(qsizetype(out.end));
    return out.data;
}

}  // namespace lumetra
