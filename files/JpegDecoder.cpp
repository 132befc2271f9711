// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/JpegDecoder.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <QColorSpace>
#include <QIODevice>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "render/BufferPool.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr int kIccMarker = JPEG_APP0 + 2;
constexpr int kAdobeMarker = JPEG_APP0 + 14;

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decoder with the message kept. Warnings (corrupt
// data, a premature end) are counted and the first is kept as the reason.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char error[JMSG_LENGTH_MAX] = {};
    char firstWarning[JMSG_LENGTH_MAX] = {};
    int warnings = 0;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    cinfo->err->format_message(cinfo, manager->error);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (manager->warnings++ == 0) cinfo->err->format_message(cinfo, manager->firstWarning);
}

// Everything the decoding touches lives here, outside the frame that calls
// setjmp, so that nothing is left in an undefined state by the jump.
struct Decoding {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    const QByteArray* data = nullptr;
    std::int64_t maxPixels = 0;
    int scaleDenominator = 1;
    QImage image;
    std::vector<unsigned char> cmykRow;
    QByteArray icc;
    bool tooLarge = false;
    bool stopped = false;
    bool outOfMemory = false;
    bool created = false;
};

bool IsAdobeInverted(const jpeg_decompress_struct& cinfo) {
    // Adobe's software writes CMYK inverted (0 is full ink) and says so
    // with its APP14 marker; CMYK without it is taken as plain.
    if (cinfo.saw_Adobe_marker) return true;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == kAdobeMarker && m->data_length >= 5 && !std::memcmp(m->data, "Adobe", 5))
            return true;
    return false;
}

void ReadProfile(Decoding* d) {
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(&d->cinfo, &profile, &length) && profile) {
        d->icc = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length));
        std::free(profile);
    }
}

void ConvertCmykRow(const unsigned char* cmyk, QRgb* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Inverted values are the amount of paper left: red = (1-C)(1-K).
        out[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

// Returns false when libjpeg gave up; the caller reads why from d.
bool Run(Decoding* d) {
    if (setjmp(d->errors.jump)) return false;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    jpeg_mem_src(&d->cinfo, reinterpret_cast<const unsigned char*>(d->data->constData()),
                 static_cast<unsigned long>(d->data->size()));
    jpeg_save_markers(&d->cinfo, kIccMarker, 0xFFFF);
    jpeg_save_markers(&d->cinfo, kAdobeMarker, 0xFFFF);
    jpeg_read_header(&d->cinfo, TRUE);
    ReadProfile(d);

    const bool cmyk =
        d->cinfo.jpeg_color_space == JCS_CMYK || d->cinfo.jpeg_color_space == JCS_YCCK;
    d->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    // The DCT scaling decodes at 1/2, 1/4 or 1/8 for a fraction of the work.
    d->cinfo.scale_num = 1;
    d->cinfo.scale_denom = unsigned(d->scaleDenominator);
    jpeg_calc_output_dimensions(&d->cinfo);
    const std::int64_t width = d->cinfo.output_width, height = d->cinfo.output_height;
    if (width < 1 || height < 1 || width * height > d->maxPixels) {
        d->tooLarge = true;
        return true;
    }
    // Format_RGB32 is 0xFFRRGGBB words, B, G, R, X in memory: what BGRX
    // writes, with X filled as 0xFF.
    d->image = AcquireImage(int(width), int(height), QImage::Format_RGB32);
    if (d->image.isNull()) {
        d->outOfMemory = true;
        return true;
    }
    const bool inverted = cmyk && IsAdobeInverted(d->cinfo);
    if (cmyk) d->cmykRow.resize(std::size_t(width) * 4);
    jpeg_start_decompress(&d->cinfo);
    uchar* bits = d->image.bits();
    const qsizetype stride = d->image.bytesPerLine();
    while (d->cinfo.output_scanline < d->cinfo.output_height) {
        // A render pass that has been overtaken stops decoding too.
        if (StopRequested()) {
            d->stopped = true;
            return true;
        }
        const JDIMENSION y = d->cinfo.output_scanline;
        if (cmyk) {
            JSAMPROW row = d->cmykRow.data();
            if (jpeg_read_scanlines(&d->cinfo, &row, 1) != 1) break;
            ConvertCmykRow(row, reinterpret_cast<QRgb*>(bits + qsizetype(y) * stride), int(width),
                           inverted);
        } else {
            // Several rows at once: libjpeg decodes a whole band of MCUs.
            JSAMPROW rows[16];
            const JDIMENSION left = d->cinfo.output_height - y;
            const JDIMENSION count = left < 16 ? left : 16;
            for (JDIMENSION i = 0; i < count; ++i) rows[i] = bits + qsizetype(y + i) * stride;
            if (jpeg_read_scanlines(&d->cinfo, rows, count) == 0) break;
        }
    }
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

// A libjpeg source that reads a file through its device, a few kilobytes
// at a time, and seeks over what the decoder skips. The file's end inside
// the headers is an error: nothing is made up to finish them.
struct DeviceSource {
    jpeg_source_mgr base;
    QIODevice* device = nullptr;
    JOCTET buffer[16384];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<DeviceSource*>(cinfo->src);
    const qint64 n = source->device->read(reinterpret_cast<char*>(source->buffer),
                                          qint64(sizeof source->buffer));
    if (n <= 0) ERREXIT(cinfo, JERR_INPUT_EOF);
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = std::size_t(n);
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<DeviceSource*>(cinfo->src);
    if (count <= 0) return;
    if (std::size_t(count) <= source->base.bytes_in_buffer) {
        source->base.next_input_byte += count;
        source->base.bytes_in_buffer -= std::size_t(count);
        return;
    }
    const qint64 beyond = qint64(count) - qint64(source->base.bytes_in_buffer);
    source->base.bytes_in_buffer = 0;
    // Past the end, the next read finds nothing and reports the end.
    QIODevice* device = source->device;
    if (!device->seek(std::min(device->pos() + beyond, device->size())))
        ERREXIT(cinfo, JERR_INPUT_EOF);
}

struct HeaderReading {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    DeviceSource source;
    bool created = false;
};

bool RunHeader(HeaderReading* h) {
    if (setjmp(h->errors.jump)) return false;
    jpeg_create_decompress(&h->cinfo);
    h->created = true;
    h->cinfo.src = &h->source.base;
    jpeg_read_header(&h->cinfo, TRUE);
    jpeg_calc_output_dimensions(&h->cinfo);
    return true;
}

}  // namespace

QSize ReadJpegHeader(QIODevice* file, QString* error) {
    auto h = std::make_unique<HeaderReading>();
    h->cinfo.err = jpeg_std_error(&h->errors.base);
    h->errors.base.error_exit = OnError;
    h->errors.base.emit_message = OnMessage;
    h->source.device = file;
    h->source.base.init_source = InitSource;
    h->source.base.fill_input_buffer = FillInput;
    h->source.base.skip_input_data = SkipInput;
    h->source.base.resync_to_restart = jpeg_resync_to_restart;
    h->source.base.term_source = TermSource;
    const bool read = RunHeader(h.get());
    QSize size;
    if (read) size = QSize(int(h->cinfo.output_width), int(h->cinfo.output_height));
    if (h->created) jpeg_destroy_decompress(&h->cinfo);
    if (!read && error)
        *error = QStringLiteral("The JPEG header is damaged: %1")
                     .arg(QString::fromLocal8Bit(h->errors.error));
    return size;
}

bool LooksLikeJpeg(const QByteArray& head) {
    return head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 &&
           uchar(head[2]) == 0xFF;
}

JpegDecoded DecodeJpeg(const QByteArray& data, std::int64_t maxPixels, int scaleDenominator) {
    JpegDecoded result;
    auto d = std::make_unique<Decoding>();
    d->data = &data;
    d->maxPixels = maxPixels;
    d->scaleDenominator = scaleDenominator == 2 || scaleDenominator == 4 || scaleDenominator == 8
                              ? scaleDenominator
                              : 1;
    d->cinfo.err = jpeg_std_error(&d->errors.base);
    d->errors.base.error_exit = OnError;
    d->errors.base.emit_message = OnMessage;

    const bool finished = Run(d.get());
    const bool decodedRows = d->created && d->cinfo.output_scanline > 0;
    if (d->created) jpeg_destroy_decompress(&d->cinfo);

    if (d->tooLarge) {
        result.error = QStringLiteral("The image is too large (%1 x %2 pixels).")
                           .arg(d->cinfo.output_width)
                           .arg(d->cinfo.output_height);
        return result;
    }
    if (d->outOfMemory) {
        result.error = QStringLiteral("Not enough memory for the image.");
        return result;
    }
    if (d->stopped) {
        result.image = QImage();
        result.error = QStringLiteral("Decoding was stopped.");
        return result;
    }
    if (!finished && !decodedRows) {
        result.error = QStringLiteral("The JPEG data is damaged: %1")
                           .arg(QString::fromLocal8Bit(d->errors.error));
        return result;
    }
    // Either the whole file decoded, perhaps with warnings, or the decoder
    // stopped part-way through the rows: what it wrote is kept, and the
    // rows it never reached stay as allocated. Those are made grey, as
    // libjpeg itself fills a picture whose data ran out.
    if (!finished) {
        const int from = int(d->cinfo.output_scanline);
        for (int y = from; y < d->image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(d->image.scanLine(y));
            for (int x = 0; x < d->image.width(); ++x) line[x] = qRgb(128, 128, 128);
        }
        result.damaged = true;
        result.damage = QString::fromLocal8Bit(d->errors.error);
    } else if (d->errors.warnings > 0) {
        result.damaged = true;
        result.damage = QString::fromLocal8Bit(d->errors.firstWarning);
    }

    if (!d->icc.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(d->icc);
        if (space.isValid()) d->image.setColorSpace(space);
    }
    result.image = std::move(d->image);
    return result;
}

}  // namespace lumetra
