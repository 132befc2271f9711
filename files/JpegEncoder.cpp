// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "files/SaveBitmap.h"

namespace lumetra {
namespace {

constexpr int kMaxJpegSide = 65500;  // JPEG's limit on either side

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to EncodeJpeg's recovery point with the message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
};

void JumpOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->recovery, 1);
}

void IgnoreMessage(j_common_ptr) {}

// Everything the encoder touches lives here, created before the recovery
// point, so that a jump back skips no destructor.
struct Encoding {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    std::vector<unsigned char> flatRow;  // one row composited onto white
    bool created = false;
    ~Encoding() {
        if (created) jpeg_destroy_compress(&info);
        std::free(output);
    }
};

// True when a row holds a pixel that is not fully opaque.
bool RowHasTransparency(const uchar* row, int width) {
    uchar all = 255;
    for (int x = 0; x < width; ++x) all &= row[4 * x + 3];
    return all != 255;
}

}  // namespace

QByteArray EncodeJpeg(const QImage& rgba, int quality, QString* error) {
    const auto fail = [error](const QString& text) {
        if (error) *error = text;
        return QByteArray();
    };
    if (rgba.isNull() || rgba.format() != QImage::Format_RGBA8888)
        return fail(QStringLiteral("There is no RGBA bitmap to encode."));
    const int width = rgba.width();
    const int height = rgba.height();
    if (width > kMaxJpegSide || height > kMaxJpegSide)
        return fail(
            QStringLiteral("JPEG cannot hold a picture wider or higher than 65500 pixels."));

    Encoding e;
    e.flatRow.resize(std::size_t(width) * 4);
    e.info.err = jpeg_std_error(&e.errors.base);
    e.errors.base.error_exit = JumpOnError;
    e.errors.base.output_message = IgnoreMessage;
    if (setjmp(e.errors.recovery)) {
        return fail(QStringLiteral("The JPEG encoder failed: %1")
                        .arg(QString::fromLocal8Bit(e.errors.message)));
    }
    jpeg_create_compress(&e.info);
    e.created = true;
    jpeg_mem_dest(&e.info, &e.output, &e.outputSize);
    e.info.image_width = JDIMENSION(width);
    e.info.image_height = JDIMENSION(height);
    e.info.input_components = 4;
    e.info.in_color_space = JCS_EXT_RGBX;  // the fourth byte is skipped
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality < 0 ? 0 : (quality > 100 ? 100 : quality), TRUE);
    e.info.optimize_coding = TRUE;
    jpeg_start_compress(&e.info, TRUE);

    const int white = 255;
    while (e.info.next_scanline < e.info.image_height) {
        const uchar* row = rgba.constScanLine(int(e.info.next_scanline));
        JSAMPROW pass = const_cast<JSAMPROW>(row);
        if (RowHasTransparency(row, width)) {
            unsigned char* flat = e.flatRow.data();
            for (int x = 0; x < width; ++x) {
                const int a = row[4 * x + 3];
                for (int c = 0; c < 3; ++c) flat[4 * x + c] = OverWhite(row[4 * x + c], a);
                flat[4 * x + 3] = white;
            }
            pass = flat;
        }
        jpeg_write_scanlines(&e.info, &pass, 1);
    }
    jpeg_finish_compress(&e.info);
    return QByteArray(reinterpret_cast<const char*>(e.output), qsizetype(e.outputSize));
}

}  // namespace lumetra
