// SPDX-License-Identifier: GPL-3.0-or-later
// Writing JP2 files with OpenJPEG.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "files/Jpeg2000.h"
#include "files/Jpeg2000Stream.h"
#include "files/SaveBitmap.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

// Ratios at the two ends of the compression factor's scale.
constexpr double kRatioAtBest = 4.0;   // factor 1.0: visually lossless
constexpr double kRatioSpread = 50.0;  // factor 0.0: 4 * 50 = 200:1

// Pictures wider or higher than this are coded in tiles of this side.
// OpenJPEG runs the wavelet, the rate allocation and the packet writing of
// a tile on one thread, and only the code-blocks on several; tiles coded by
// encoders of their own keep every core busy from start to end, and each
// needs the memory of its tile only. On the 6000 x 4000 benchmark photo,
// 1024-pixel tiles lose 0.04 dB of PSNR at the default factor against one
// tile for the whole picture (512-pixel tiles lose 0.14 dB).
constexpr int kTileSide = 1024;

// Fails with the reason in *error, when the caller asked for it.
QByteArray Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return {};
}

// The wavelet needs each resolution level to keep at least one sample, so a
// small picture gets fewer levels than the encoder's default of 6.
int ResolutionsFor(int width, int height) {
    const int shortSide = std::min(width, height);
    int levels = 6;
    while (levels > 1 && (1 << (levels - 1)) > shortSide) --levels;
    return levels;
}

std::uint32_t Get32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) << 24 | std::uint32_t(u[1]) << 16 | std::uint32_t(u[2]) << 8 | u[3];
}
int Get16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] << 8 | u[1];
}
void Put32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = char(v >> (24 - 8 * i));
}
void Put16(char* p, int v) {
    p[0] = char(v >> 8);
    p[1] = char(v);
}

// What every tile's encoder is given.
struct Coding {
    int components = 3;
    bool alpha = false;
    bool blueFirst = false;
    double ratio = 1.0;
    int resolutions = 6;
    int tileSide = 0;  // 0: the whole picture is one tile
};

// Encodes the region [x0, x1) x [y0, y1) of the bitmap: the picture's own
// place on the reference grid and, when tiled, a tile grid that starts at
// the region, so that the region is exactly one tile coded as a
// whole-picture encoder with the same tile grid codes it. A JP2 file when
// jp2 is true, a bare codestream otherwise.
QByteArray EncodeRegion(const QImage& bitmap, int x0, int y0, int x1, int y1, const Coding& coding,
                        bool jp2, int threads, QString* error) {
    const int width = x1 - x0;
    const int height = y1 - y0;
    opj_image_cmptparm_t parameters[4] = {};
    for (int c = 0; c < coding.components; ++c) {
        parameters[c].dx = 1;
        parameters[c].dy = 1;
        parameters[c].w = OPJ_UINT32(width);
        parameters[c].h = OPJ_UINT32(height);
        parameters[c].x0 = OPJ_UINT32(x0);
        parameters[c].y0 = OPJ_UINT32(y0);
        parameters[c].prec = 8;
        parameters[c].sgnd = 0;
    }
    jp2::ImagePtr planes(
        opj_image_create(OPJ_UINT32(coding.components), parameters, OPJ_CLRSPC_SRGB));
    if (!planes) return Fail(error, QStringLiteral("Not enough memory to encode the picture."));
    planes->x0 = OPJ_UINT32(x0);
    planes->y0 = OPJ_UINT32(y0);
    planes->x1 = OPJ_UINT32(x1);
    planes->y1 = OPJ_UINT32(y1);
    if (coding.alpha) planes->comps[3].alpha = 1;  // written as an opacity channel

    // The bitmap's interleaved bytes to one plane of 32-bit samples per
    // channel, red first whatever the bitmap's byte order.
    const int red = coding.blueFirst ? 2 : 0;
    const int byteOf[4] = {red, 1, 2 - red, 3};
    const auto split = [&](int r0, int r1) {
        for (int y = r0; y < r1; ++y) {
            const uchar* line = bitmap.constScanLine(y0 + y) + 4 * x0;
            const std::size_t base = std::size_t(y) * std::size_t(width);
            for (int c = 0; c < coding.components; ++c) {
                OPJ_INT32* out = planes->comps[c].data + base;
                const uchar* in = line + byteOf[c];
                for (int x = 0; x < width; ++x) out[x] = in[4 * x];
            }
        }
    };
    if (threads > 1)
        ParallelBands(height, std::int64_t(width) * coding.components, split);
    else
        split(0, height);

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = float(coding.ratio);
    settings.cp_disto_alloc = 1;
    settings.irreversible = 1;  // the 9/7 wavelet, the one meant for lossy coding
    settings.tcp_mct = 1;       // RGB to YCbCr before the wavelet
    settings.numresolution = coding.resolutions;
    // Selective arithmetic coding bypass: the lower bit-planes' significance
    // and refinement passes are written raw instead of through the MQ coder,
    // a tenth of the coding time saved for no measurable loss (40.73 dB
    // either way on the benchmark photo at the default factor).
    settings.mode = 1;
    if (coding.tileSide > 0) {
        settings.tile_size_on = OPJ_TRUE;
        settings.cp_tdx = coding.tileSide;
        settings.cp_tdy = coding.tileSide;
        settings.cp_tx0 = x0;
        settings.cp_ty0 = y0;
    }

    jp2::CodecPtr codec(opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec) return Fail(error, QStringLiteral("The JPEG 2000 encoder could not be started."));
    jp2::Messages messages;
    messages.Attach(codec.get());
    if (!opj_setup_encoder(codec.get(), &settings, planes.get()))
        return Fail(error, messages.error);
    if (threads > 1 && opj_has_thread_support()) opj_codec_set_threads(codec.get(), threads);

    jp2::WriteBuffer out;
    jp2::StreamPtr stream = jp2::MakeWriteStream(&out);
    const bool encoded = stream && opj_start_compress(codec.get(), planes.get(), stream.get()) &&
                         opj_encode(codec.get(), stream.get()) &&
                         opj_end_compress(codec.get(), stream.get());
    if (!encoded || out.failed)
        return Fail(error, messages.error.isEmpty()
                               ? QStringLiteral("The JPEG 2000 encoder failed.")
                               : messages.error);
    out.data.truncate(qsizetype(out.end));
    return out.data;
}

// Where a codestream's main header ends (its first tile-part's SOT
// marker); -1 when the marker segments do not lead to one.
qsizetype MainHeaderEnd(const QByteArray& codestream) {
    qsizetype at = 2;  // past SOC
    while (at + 4 <= codestream.size() && uchar(codestream[at]) == 0xFF) {
        if (uchar(codestream[at + 1]) == 0x90) return at;
        at += 2 + Get16(codestream.constData() + at + 2);
    }
    return -1;
}

// Appends a one-tile codestream's tile-parts (everything between its main
// header and its EOC) to out, numbered as tile `index`.
bool AppendTileParts(const QByteArray& codestream, int index, QByteArray* out) {
    const qsizetype start = MainHeaderEnd(codestream);
    const qsizetype end = codestream.size() - 2;
    if (start < 0 || end < start || Get16(codestream.constData() + end) != 0xFFD9) return false;
    const qsizetype first = out->size();
    out->append(codestream.constData() + start, end - start);
    // SOT: marker, Lsot, Isot (the tile's index), Psot (the tile-part's
    // length from its SOT on), TPsot, TNsot.
    for (qsizetype at = first; at < out->size();) {
        char* sot = out->data() + at;
        if (at + 12 > out->size() || Get16(sot) != 0xFF90) return false;
        const std::uint32_t length = Get32(sot + 6);
        if (length < 12 || qsizetype(length) > out->size() - at) return false;
        Put16(sot + 4, index);
        at += qsizetype(length);
    }
    return true;
}

// Puts the tiles' codestreams together behind the first tile's JP2 boxes:
// the first tile's main header (with the whole picture's size in SIZ and
// ihdr) serves the whole picture, as every tile was coded with the same
// settings and the same tile grid.
QByteArray JoinTiles(const QByteArray& firstJp2, const std::vector<QByteArray>& codestreams,
                     int width, int height, QString* error) {
    const auto fail = [error] {
        return Fail(error, QStringLiteral("The JPEG 2000 encoder wrote an unexpected file."));
    };
    // The JP2 boxes: ihdr inside jp2h, and the codestream box jp2c, last.
    qsizetype ihdr = -1, jp2c = -1;
    for (qsizetype at = 0; at + 8 <= firstJp2.size();) {
        const std::uint32_t length = Get32(firstJp2.constData() + at);
        const QByteArray type = firstJp2.mid(at + 4, 4);
        if (type == "jp2c") {
            jp2c = at;
            break;
        }
        if (length < 8 || qsizetype(length) > firstJp2.size() - at) return fail();
        if (type == "jp2h") {
            for (qsizetype in = at + 8; in + 8 <= at + qsizetype(length);) {
                const std::uint32_t inner = Get32(firstJp2.constData() + in);
                if (inner < 8) return fail();
                if (firstJp2.mid(in + 4, 4) == "ihdr" && inner >= 16) ihdr = in + 8;
                in += qsizetype(inner);
            }
        }
        at += qsizetype(length);
    }
    if (ihdr < 0 || jp2c < 0) return fail();
    const QByteArray first = firstJp2.mid(jp2c + 8);

    const qsizetype mainEnd = MainHeaderEnd(first);
    if (mainEnd < 42 || Get16(first.constData() + 2) != 0xFF51) return fail();
    QByteArray codestream = first.left(mainEnd);
    Put32(codestream.data() + 8, std::uint32_t(width));    // SIZ: Xsiz
    Put32(codestream.data() + 12, std::uint32_t(height));  // Ysiz
    for (std::size_t i = 0; i < codestreams.size(); ++i)
        if (!AppendTileParts(i == 0 ? first : codestreams[i], int(i), &codestream)) return fail();
    codestream.append("\xFF\xD9", 2);  // EOC
    if (codestream.size() > qsizetype(UINT32_MAX) - 8) return fail();

    QByteArray file = firstJp2.left(jp2c);
    Put32(file.data() + ihdr, std::uint32_t(height));  // ihdr: HEIGHT, WIDTH
    Put32(file.data() + ihdr + 4, std::uint32_t(width));
    char box[8];
    Put32(box, std::uint32_t(codestream.size() + 8));
    std::copy_n("jp2c", 4, box + 4);
    file.append(box, 8);
    file.append(codestream);
    return file;
}

}  // namespace

double Jpeg2000CompressionRatio(double quality) {
    const double q = quality >= 1.0 ? 1.0 : (quality > 0.0 ? quality : 0.0);
    return kRatioAtBest * std::pow(kRatioSpread, 1.0 - q);
}

QByteArray EncodeJpeg2000(const QImage& source, double quality, QString* error) {
    if (source.isNull()) return Fail(error, QStringLiteral("There is no picture to encode."));
    if (!std::isfinite(quality))
        return Fail(error, QStringLiteral("The compression factor is not a number."));
    const QImage image =
        IsSaveBitmap(source) ? source : source.convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull())
        return Fail(error, QStringLiteral("Not enough memory to encode the picture."));
    const int width = image.width();
    const int height = image.height();
    Coding coding;
    coding.alpha = HasTransparentPixels(image);
    coding.components = coding.alpha ? 4 : 3;
    coding.blueFirst = IsBlueFirst(image);
    coding.ratio = Jpeg2000CompressionRatio(quality);

    if (width <= kTileSide && height <= kTileSide) {
        // One tile, coded by one encoder whose code-blocks go to the
        // engine's workers.
        coding.resolutions = ResolutionsFor(width, height);
        return EncodeRegion(image, 0, 0, width, height, coding, true, WorkerThreads(), error);
    }

    coding.tileSide = kTileSide;
    coding.resolutions = ResolutionsFor(std::min(width, kTileSide), std::min(height, kTileSide));
    const int across = (width + kTileSide - 1) / kTileSide;
    const int down = (height + kTileSide - 1) / kTileSide;
    const int tiles = across * down;
    std::vector<QByteArray> codestreams(static_cast<std::size_t>(tiles));
    std::vector<QString> errors(static_cast<std::size_t>(tiles));
    ParallelBands(tiles, std::int64_t(kTileSide) * kTileSide, [&](int t0, int t1) {
        for (int t = t0; t < t1; ++t) {
            const int x0 = (t % across) * kTileSide;
            const int y0 = (t / across) * kTileSide;
            const int x1 = std::min(width, x0 + kTileSide);
            const int y1 = std::min(height, y0 + kTileSide);
            try {
                codestreams[std::size_t(t)] =
                    EncodeRegion(image, x0, y0, x1, y1, coding, t == 0, 1, &errors[std::size_t(t)]);
            } catch (const std::bad_alloc&) {
                errors[std::size_t(t)] = QStringLiteral("Not enough memory to encode the picture.");
            }
        }
    });
    for (int t = 0; t < tiles; ++t)
        if (codestreams[std::size_t(t)].isEmpty()) return Fail(error, errors[std::size_t(t)]);
    return JoinTiles(codestreams[0], codestreams, width, height, error);
}

}  // namespace lumetra
