// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ExifOrientation.h"

#include <QColorSpace>
#include <cstdint>
#include <cstring>

#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;

// Reads the TIFF structure inside the Exif block, every offset checked
// against the block's end.
class TiffReader {
  public:
    TiffReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    bool ReadHeader(std::uint32_t* firstIfd) {
        if (size_ < 8) return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            bigEndian_ = false;
        else if (data_[0] == 'M' && data_[1] == 'M')
            bigEndian_ = true;
        else
            return false;
        std::uint16_t magic = 0;
        return U16(2, &magic) && magic == 42 && U32(4, firstIfd);
    }
    bool U16(std::size_t at, std::uint16_t* value) const {
        if (at > size_ || size_ - at < 2) return false;
        const unsigned char* p = data_ + at;
        *value = bigEndian_ ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
        return true;
    }
    bool U32(std::size_t at, std::uint32_t* value) const {
        if (at > size_ || size_ - at < 4) return false;
        const unsigned char* p = data_ + at;
        *value = bigEndian_ ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                  std::uint32_t(p[2]) << 8 | p[3]
                            : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                                  std::uint32_t(p[1]) << 8 | p[0];
        return true;
    }

  private:
    const unsigned char* data_;
    std::size_t size_;
    bool bigEndian_ = false;
};

// Where stored pixel (sx, sy) comes from for upright pixel (x, y), per
// orientation; w and h are the stored picture's sides.
struct SourceMap {
    int orientation, w, h;
    void operator()(int x, int y, int* sx, int* sy) const {
        switch (orientation) {
            case 2:
                *sx = w - 1 - x;
                *sy = y;
                break;
            case 3:
                *sx = w - 1 - x;
                *sy = h - 1 - y;
                break;
            case 4:
                *sx = x;
                *sy = h - 1 - y;
                break;
            case 5:  // transpose
                *sx = y;
                *sy = x;
                break;
            case 6:  // a quarter turn clockwise
                *sx = y;
                *sy = h - 1 - x;
                break;
            case 7:  // transverse
                *sx = w - 1 - y;
                *sy = h - 1 - x;
                break;
            case 8:  // a quarter turn anticlockwise
                *sx = w - 1 - y;
                *sy = x;
                break;
            default:
                *sx = x;
                *sy = y;
                break;
        }
    }
};

}  // namespace

int ExifOrientationFromApp1(const unsigned char* data, std::size_t size) {
    if (!data || size < sizeof kExifHeader || std::memcmp(data, kExifHeader, sizeof kExifHeader))
        return 1;
    TiffReader tiff(data + sizeof kExifHeader, size - sizeof kExifHeader);
    std::uint32_t ifd = 0;
    std::uint16_t entries = 0;
    if (!tiff.ReadHeader(&ifd) || !tiff.U16(ifd, &entries)) return 1;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        std::uint16_t tag = 0, type = 0, value = 0;
        std::uint32_t count = 0;
        if (!tiff.U16(entry, &tag) || !tiff.U16(entry + 2, &type) || !tiff.U32(entry + 4, &count))
            return 1;
        if (tag != kOrientationTag) continue;
        if (type != kTypeShort || count < 1 || !tiff.U16(entry + 8, &value)) return 1;
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

QImage ApplyExifOrientation(const QImage& stored, int orientation) {
    if (orientation < 2 || orientation > 8 || stored.isNull() || stored.depth() != 32)
        return stored;
    const int w = stored.width(), h = stored.height();
    const bool swap = orientation >= 5;
    QImage upright(swap ? h : w, swap ? w : h, stored.format());
    if (upright.isNull()) return upright;
    upright.setColorSpace(stored.colorSpace());
    const SourceMap map{orientation, w, h};
    const auto* src = reinterpret_cast<const std::uint32_t*>(stored.constBits());
    const std::size_t srcStride = std::size_t(stored.bytesPerLine()) / 4;
    auto* dst = reinterpret_cast<std::uint32_t*>(upright.bits());
    const std::size_t dstStride = std::size_t(upright.bytesPerLine()) / 4;
    const int outW = upright.width();
    // Blocks of 64 x 64 so that a quarter turn reads whole cache lines of
    // the stored picture instead of one pixel per line.
    constexpr int kBlock = 64;
    ParallelBands(upright.height(), outW, [&](int y0, int y1) {
        for (int by = y0; by < y1; by += kBlock) {
            const int byEnd = by + kBlock < y1 ? by + kBlock : y1;
            for (int bx = 0; bx < outW; bx += kBlock) {
                const int bxEnd = bx + kBlock < outW ? bx + kBlock : outW;
                for (int y = by; y < byEnd; ++y) {
                    std::uint32_t* out = dst + std::size_t(y) * dstStride;
                    for (int x = bx; x < bxEnd; ++x) {
                        int sx, sy;
                        map(x, y, &sx, &sy);
                        out[x] = src[std::size_t(sy) * srcStride + std::size_t(sx)];
                    }
                }
            }
        }
    });
    return upright;
}

}  // namespace lumetra
