// SPDX-License-Identifier: GPL-3.0-or-later
// Camera raw files through LibRaw, developed as LibRaw develops them by
// default: the camera's white balance, its default demosaic, sRGB primaries
// with the sRGB tone curve, 16 bits per channel, and the picture turned by
// the file's own flip.
#include <libraw/libraw.h>

#include <QThread>
#include <cstring>
#include <memory>

#include "files/CodecReaders.h"
#include "files/ExifOrientation.h"
#include "render/BufferPool.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

// LibRaw with what it knows about where the picture's data lies, which it
// keeps to itself.
class Raw : public LibRaw {
  public:
    INT64 DataOffset() const { return libraw_internal_data.unpacker_data.data_offset; }
};

// LibRaw reports damaged data on standard error; the reader says it in
// its own words instead.
void Quiet(void*, const char*, int) {}

const QString kDamaged =
    QStringLiteral("The image could not be decoded: the raw data is damaged or cut short.");

QString Why(int code) {
    return QStringLiteral("The image could not be decoded: %1")
        .arg(QString::fromUtf8(libraw_strerror(code)));
}

// Opens the file held in data and checks what its header claims: a size
// within the limit, picture data that starts inside the file.
bool Open(Raw* raw, const QByteArray& data, std::int64_t maxPixels, QString* error) {
    raw->set_dataerror_handler(&Quiet, nullptr);
    const int code = raw->open_buffer(const_cast<char*>(data.constData()), size_t(data.size()));
    if (code != LIBRAW_SUCCESS) {
        *error = Why(code);
        return false;
    }
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    if (CodecAboveLimit(sizes.raw_width, sizes.raw_height, maxPixels) ||
        CodecAboveLimit(sizes.width, sizes.height, maxPixels)) {
        *error = CodecTooLarge(std::max(sizes.raw_width, sizes.width),
                               std::max(sizes.raw_height, sizes.height));
        return false;
    }
    if (raw->DataOffset() <= 0 || raw->DataOffset() >= data.size()) {
        *error = kDamaged;
        return false;
    }
    return true;
}

// LibRaw's flip (0, 3, 5, 6) as an Exif orientation.
int OrientationOfFlip(int flip) {
    switch (flip) {
        case 3:
            return 3;
        case 5:
            return 8;
        case 6:
            return 6;
        default:
            return 1;
    }
}

}  // namespace

QSize RawSize(const QByteArray& data, QString* error) {
    const auto raw = std::make_unique<Raw>();
    if (!Open(raw.get(), data, std::numeric_limits<std::int64_t>::max(), error)) return {};
    libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    return OrientedSize(QSize(sizes.iwidth ? sizes.iwidth : sizes.width,
                              sizes.iheight ? sizes.iheight : sizes.height),
                        OrientationOfFlip(sizes.flip));
}

CodecPicture DecodeRaw(const QByteArray& data, std::int64_t maxPixels) {
    CodecPicture out;
    const auto raw = std::make_unique<Raw>();
    libraw_output_params_t& params = raw->imgdata.params;
    params.use_camera_wb = 1;
    params.output_color = 1;  // sRGB
    params.output_bps = 16;
    params.gamm[0] = 1 / 2.4;  // the sRGB curve
    params.gamm[1] = 12.92;
    if (!Open(raw.get(), data, maxPixels, &out.error)) return out;
    int code = raw->unpack();
    // LibRaw counts the reads that ran past the end of the data.
    if (code == LIBRAW_SUCCESS && raw->error_count() > 0) return CodecFailure(kDamaged);
    if (code == LIBRAW_SUCCESS) code = raw->dcraw_process();
    if (code != LIBRAW_SUCCESS)
        return CodecFailure(code == LIBRAW_UNSUFFICIENT_MEMORY
                                ? QStringLiteral("Not enough memory for the image.")
                                : Why(code));
    // The developed picture is copied straight into the frame the engine
    // reads: LibRaw writes each row's 16-bit channels (three, or one for a
    // monochrome camera) into the end of that row, and the row is then
    // spread to RGBA from left to right in place. Pixel x is written to
    // bytes 8x..8x+7 only after it has been read, and no earlier write
    // reaches the pixels after it.
    int w = 0, h = 0, colors = 0, bits = 0;
    raw->get_mem_image_format(&w, &h, &colors, &bits);
    if (w <= 0 || h <= 0 || bits != 16 || (colors != 3 && colors != 1) ||
        CodecAboveLimit(w, h, maxPixels))
        return CodecFailure(kDamaged);
    QImage image = AcquireImage(w, h, QImage::Format_RGBA64);
    if (image.isNull()) return CodecFailure(QStringLiteral("Not enough memory for the image."));
    uchar* const frame = image.bits();  // detached once, before the bands start
    const qsizetype stride = image.bytesPerLine();
    const std::size_t offset = std::size_t(w) * (8 - 2 * colors);
    code = raw->copy_mem_image(frame + offset, int(stride), 0);
    if (code != LIBRAW_SUCCESS) return CodecFailure(Why(code));
    ParallelBands(h, w, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* row = reinterpret_cast<quint16*>(frame + y * stride);
            const quint16* in = row + offset / 2;
            for (int x = 0; x < w; ++x, in += colors) {
                const quint16 r = in[0];
                const quint16 g = in[colors == 3 ? 1 : 0];
                const quint16 b = in[colors == 3 ? 2 : 0];
                row[4 * x + 0] = r;
                row[4 * x + 1] = g;
                row[4 * x + 2] = b;
                row[4 * x + 3] = 0xFFFF;
            }
        }
    });
    out.image = std::move(image);
    return out;
}

}  // namespace lumetra
