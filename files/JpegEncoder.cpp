// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/JpegEncoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "files/Owned.h"
#include "files/SaveBitmap.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr int kMaxJpegSide = 65500;         // JPEG's limit on either side
constexpr int kMcuSide = 16;                // 4:2:0: an MCU covers 16 x 16 pixels
constexpr int kMaxRestartInterval = 65535;  // MCUs; a 16-bit field of the DRI segment
// Pixels per strip, about: small enough that two cores share a photo
// evenly, large enough that starting an encoder per strip costs nothing.
constexpr std::int64_t kStripPixels = std::int64_t(1) << 20;

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to EncodeStrip's recovery point with the message kept.
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

// One strip of whole MCU rows, coded as a JPEG file of its own.
struct Strip {
    int firstRow = 0;
    int endRow = 0;
    Owned<unsigned char, std::free> file;
    unsigned long size = 0;
    QString error;
};

// Everything the encoder touches lives here, created before the recovery
// point, so that a jump back skips no destructor.
struct Encoding {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    std::vector<unsigned char> flatRows;  // rows composited onto white
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

void FlattenRow(const uchar* row, int width, unsigned char* flat) {
    for (int x = 0; x < width; ++x) {
        const int a = row[4 * x + 3];
        for (int c = 0; c < 3; ++c) flat[4 * x + c] = OverWhite(row[4 * x + c], a);
        flat[4 * x + 3] = 255;
    }
}

// Codes the strip's rows as a complete JPEG file; restartInterval is
// written in its header (0: none).
void EncodeStrip(const QImage& bitmap, int quality, unsigned restartInterval, Strip* strip) {
    const int width = bitmap.width();
    const bool mayBeTransparent = bitmap.hasAlphaChannel();
    Encoding e;
    if (mayBeTransparent) e.flatRows.resize(std::size_t(width) * 4 * kMcuSide);
    e.info.err = jpeg_std_error(&e.errors.base);
    e.errors.base.error_exit = JumpOnError;
    e.errors.base.output_message = IgnoreMessage;
    if (setjmp(e.errors.recovery)) {
        strip->error = QString::fromLocal8Bit(e.errors.message);
        return;
    }
    jpeg_create_compress(&e.info);
    e.created = true;
    jpeg_mem_dest(&e.info, &e.output, &e.outputSize);
    e.info.image_width = JDIMENSION(width);
    e.info.image_height = JDIMENSION(strip->endRow - strip->firstRow);
    e.info.input_components = 4;
    // The fourth byte is skipped: alpha has been dealt with row by row.
    e.info.in_color_space = IsBlueFirst(bitmap) ? JCS_EXT_BGRX : JCS_EXT_RGBX;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    // 4:2:0 (libjpeg's default, set here because the strips rely on it).
    e.info.comp_info[0].h_samp_factor = 2;
    e.info.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        e.info.comp_info[c].h_samp_factor = 1;
        e.info.comp_info[c].v_samp_factor = 1;
    }
    e.info.restart_interval = restartInterval;
    // A picture coded in one piece gets Huffman tables computed for it (a
    // second pass over its coefficients); strips share the standard ones.
    e.info.optimize_coding = restartInterval == 0 ? TRUE : FALSE;
    jpeg_start_compress(&e.info, TRUE);

    JSAMPROW rows[kMcuSide];
    while (e.info.next_scanline < e.info.image_height) {
        const int first = strip->firstRow + int(e.info.next_scanline);
        const int count = std::min(kMcuSide, strip->endRow - first);
        for (int k = 0; k < count; ++k) {
            const uchar* row = bitmap.constScanLine(first + k);
            rows[k] = const_cast<JSAMPROW>(row);
            if (mayBeTransparent && RowHasTransparency(row, width)) {
                unsigned char* flat = e.flatRows.data() + std::size_t(k) * std::size_t(width) * 4;
                FlattenRow(row, width, flat);
                rows[k] = flat;
            }
        }
        jpeg_write_scanlines(&e.info, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&e.info);
    strip->file.reset(e.output);
    strip->size = e.outputSize;
    e.output = nullptr;
}

// Where the coded data of a file libjpeg wrote starts (just past its scan
// header), and where its frame header keeps the picture's height. False when
// the markers do not walk to a scan header.
bool FindScanData(const unsigned char* file, std::size_t size, std::size_t* dataStart,
                  std::size_t* heightAt) {
    std::size_t at = 2;  // past SOI
    bool haveFrame = false;
    while (at + 4 <= size && file[at] == 0xFF) {
        const unsigned char marker = file[at + 1];
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        if (marker == 0xC0 && length >= 8) {  // baseline frame: P, Y, X, ...
            *heightAt = at + 5;
            haveFrame = true;
        }
        if (marker == 0xDA) {
            *dataStart = at + 2 + length;
            return haveFrame && *dataStart + 2 <= size;
        }
        at += 2 + length;
    }
    return false;
}

}  // namespace

QByteArray EncodeJpeg(const QImage& bitmap, int quality, QString* error) {
    const auto fail = [error](const QString& text) {
        if (error) *error = text;
        return QByteArray();
    };
    if (bitmap.isNull() || !IsSaveBitmap(bitmap))
        return fail(QStringLiteral("There is no RGBA bitmap to encode."));
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (width > kMaxJpegSide || height > kMaxJpegSide)
        return fail(
            QStringLiteral("JPEG cannot hold a picture wider or higher than 65500 pixels."));
    quality = std::clamp(quality, 0, 100);

    // Strips of equal whole MCU rows (the last may be shorter), each one
    // restart interval; at most 65535 MCUs, which a row of at most 4094
    // MCUs always allows.
    const int mcusPerRow = (width + kMcuSide - 1) / kMcuSide;
    const int mcuRows = (height + kMcuSide - 1) / kMcuSide;
    const std::int64_t pixelsPerMcuRow = std::int64_t(mcusPerRow) * kMcuSide * kMcuSide;
    const int stripMcuRows =
        int(std::clamp<std::int64_t>((kStripPixels + pixelsPerMcuRow - 1) / pixelsPerMcuRow, 1,
                                     kMaxRestartInterval / mcusPerRow));
    const int stripCount = (mcuRows + stripMcuRows - 1) / stripMcuRows;
    const unsigned restartInterval = stripCount > 1 ? unsigned(mcusPerRow * stripMcuRows) : 0;

    std::vector<Strip> strips(static_cast<std::size_t>(stripCount));
    for (int s = 0; s < stripCount; ++s) {
        strips[std::size_t(s)].firstRow = s * stripMcuRows * kMcuSide;
        strips[std::size_t(s)].endRow = std::min(height, (s + 1) * stripMcuRows * kMcuSide);
    }
    ParallelBands(stripCount, std::int64_t(width) * stripMcuRows * kMcuSide, [&](int s0, int s1) {
        for (int s = s0; s < s1; ++s) {
            Strip* strip = &strips[std::size_t(s)];
            try {
                EncodeStrip(bitmap, quality, restartInterval, strip);
            } catch (const std::bad_alloc&) {
                strip->error = QStringLiteral("Not enough memory.");
            }
        }
    });

    // The first strip's headers, with the whole picture's height; then each
    // strip's coded data (without its EOI), restart markers RST0..RST7 in
    // turn between them, and EOI.
    QByteArray out;
    std::size_t total = 0;
    for (const Strip& strip : strips) {
        if (!strip.file)
            return fail(QStringLiteral("The JPEG encoder failed: %1").arg(strip.error));
        total += strip.size + 2;
    }
    try {
        out.reserve(qsizetype(total));
        for (int s = 0; s < stripCount; ++s) {
            const Strip& strip = strips[std::size_t(s)];
            const unsigned char* file = strip.file.get();
            std::size_t dataStart = 0, heightAt = 0;
            if (!FindScanData(file, strip.size, &dataStart, &heightAt) ||
                file[strip.size - 2] != 0xFF || file[strip.size - 1] != 0xD9)
                return fail(QStringLiteral("The JPEG encoder wrote an unexpected file."));
            if (s == 0) {
                out.append(reinterpret_cast<const char*>(file), qsizetype(dataStart));
                out[qsizetype(heightAt)] = char(height >> 8);
                out[qsizetype(heightAt + 1)] = char(height & 0xFF);
            } else {
                out.append(char(0xFF));
                out.append(char(0xD0 + (s - 1) % 8));
            }
            out.append(reinterpret_cast<const char*>(file + dataStart),
                       qsizetype(strip.size - 2 - dataStart));
        }
        out.append(char(0xFF));
        out.append(char(0xD9));
    } catch (const std::bad_alloc&) {
        return fail(QStringLiteral("Not enough memory to encode the picture."));
    }
    return out;
}

}  // namespace lumetra
