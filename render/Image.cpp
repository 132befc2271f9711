// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/Image.h"

#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "render/BufferPool.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

bool IsBgraLayout(QImage::Format format) {
    // ARGB32 and RGB32 are stored as 0xAARRGGBB words: B, G, R, A in memory
    // on the little-endian machines we run on.
    return format == QImage::Format_ARGB32 || format == QImage::Format_RGB32;
}

bool IsKeptEightBitLayout(QImage::Format format) {
    return format == QImage::Format_RGBA8888 || format == QImage::Format_RGBX8888 ||
           IsBgraLayout(format);
}

bool IsDeepLayout(QImage::Format format) {
    switch (format) {
        case QImage::Format_RGBX64:
        case QImage::Format_RGBA64:
        case QImage::Format_RGBA64_Premultiplied:
        case QImage::Format_Grayscale16:
        case QImage::Format_RGBX16FPx4:
        case QImage::Format_RGBA16FPx4:
        case QImage::Format_RGBA16FPx4_Premultiplied:
        case QImage::Format_RGBX32FPx4:
        case QImage::Format_RGBA32FPx4:
        case QImage::Format_RGBA32FPx4_Premultiplied:
            return true;
        default:
            return false;
    }
}

void CheckSize(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative image size");
}

}  // namespace

const float* ByteToFloatTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) t[std::size_t(i)] = float(i) / 255.f;
        return t;
    }();
    return table.data();
}

Image Image::CreateUninitialised(int width, int height) {
    CheckSize(width, height);
    Image image;
    if (width == 0 || height == 0) return image;
    image.width_ = width;
    image.height_ = height;
    image.pixels_ = AcquireFloatBuffer(std::size_t(width) * std::size_t(height) * 4);
    return image;
}

Image Image::Create(int width, int height) {
    Image image = CreateUninitialised(width, height);
    if (image.isEmpty()) return image;
    const std::size_t rowBytes = image.rowFloats() * sizeof(float);
    ParallelBands(height, width, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) std::memset(image.row(y), 0, rowBytes);
    });
    return image;
}

Image Image::FromQImage(const QImage& source) {
    Image image;
    if (source.isNull() || source.width() <= 0 || source.height() <= 0) return image;
    const QImage::Format format = source.format();
    if (IsKeptEightBitLayout(format)) {
        image.bytes_ = source;
    } else if (IsDeepLayout(format)) {
        // Through straight 16-bit RGBA, converted here: Qt 6.4 turns RGBA64
        // into RGBA32FPx4 with the alpha multiplied in twice (0.6 becomes
        // 0.36). Values beyond 0..1 (float HDR sources) are clamped on the way.
        const QImage deep = source.convertToFormat(QImage::Format_RGBA64);
        if (deep.isNull()) return Image();
        image = CreateUninitialised(deep.width(), deep.height());
        constexpr float kScale = 1.f / 65535.f;
        ParallelBands(image.height_, image.width_, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const auto* in = reinterpret_cast<const quint16*>(deep.constScanLine(y));
                float* out = image.row(y);
                for (std::size_t i = 0; i < image.rowFloats(); ++i) out[i] = float(in[i]) * kScale;
            }
        });
        return image;
    } else {
        image.bytes_ = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                       : QImage::Format_RGB32);
    }
    if (image.bytes_.isNull()) return Image();  // out of memory while converting
    image.width_ = image.bytes_.width();
    image.height_ = image.bytes_.height();
    return image;
}

const float* Image::rowAsFloat(int y, float* scratch) const {
    if (pixels_) return row(y);
    const float* table = ByteToFloatTable();
    const unsigned char* src = bytes_.constScanLine(y);
    const int n = width_;
    if (IsBgraLayout(bytes_.format())) {
        for (int x = 0; x < n; ++x) {
            scratch[4 * x + 0] = table[src[4 * x + 2]];
            scratch[4 * x + 1] = table[src[4 * x + 1]];
            scratch[4 * x + 2] = table[src[4 * x + 0]];
            scratch[4 * x + 3] = table[src[4 * x + 3]];
        }
    } else {
        for (int x = 0; x < 4 * n; ++x) scratch[x] = table[src[x]];
    }
    return scratch;
}

Image Image::toFloat() const {
    if (pixels_ || isEmpty()) return *this;
    Image out = CreateUninitialised(width_, height_);
    ParallelBands(height_, width_, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float* src = rowAsFloat(y, dst);
            if (src != dst) std::memcpy(dst, src, rowFloats() * sizeof(float));
        }
    });
    return out;
}

QImage Image::toQImage() const {
    if (isEmpty()) return QImage();
    if (!pixels_) return bytes_;
    // Written as 0xAARRGGBB words (B, G, R, A in memory), the layout Qt
    // scales and draws fastest; a picture without any transparency is then
    // labelled RGB32, which Qt draws without blending.
    QImage out = AcquireImage(width_, height_, QImage::Format_ARGB32);
    if (out.isNull()) return out;
    unsigned char* bits = out.bits();  // detach once, before the threads start
    const qsizetype stride = out.bytesPerLine();
    std::atomic<bool> translucent{false};
    ParallelBands(height_, width_, [&](int y0, int y1) {
        unsigned char minAlpha = 255;
        for (int y = y0; y < y1; ++y) {
            const float* src = row(y);
            unsigned char* dst = bits + y * stride;
            for (int x = 0; x < width_; ++x) {
                const float* p = src + 4 * x;
                unsigned char* d = dst + 4 * x;
                d[0] = FloatToByte(p[2]);
                d[1] = FloatToByte(p[1]);
                d[2] = FloatToByte(p[0]);
                d[3] = FloatToByte(p[3]);
                minAlpha = d[3] < minAlpha ? d[3] : minAlpha;
            }
        }
        if (minAlpha < 255) translucent = true;
    });
    if (!translucent) out.reinterpretAsFormat(QImage::Format_RGB32);
    return out;
}

bool Image::sharesPixelsWith(const Image& other) const {
    if (isEmpty() || other.isEmpty()) return false;
    if (pixels_) return pixels_ == other.pixels_;
    return !other.pixels_ && bytes_.constBits() == other.bytes_.constBits();
}

void Image::detach() {
    if (isEmpty()) return;
    if (pixels_) {
        if (pixels_.use_count() == 1) return;
        Image copy = CreateUninitialised(width_, height_);
        const std::size_t rowBytes = rowFloats() * sizeof(float);
        ParallelBands(height_, width_, [&](int y0, int y1) {
            std::memcpy(copy.row(y0), row(y0), rowBytes * std::size_t(y1 - y0));
        });
        pixels_ = std::move(copy.pixels_);
        return;
    }
    // QImage copies its pixels on the first write access when they are
    // shared (or borrowed); a null answer means the copy failed.
    if (!bytes_.bits()) throw std::bad_alloc();
}

unsigned char* Image::eightBitRow(int y) {
    return bytes_.scanLine(y);
}

bool Image::eightBitIsBgra() const {
    return IsBgraLayout(bytes_.format());
}

}  // namespace lumetra
