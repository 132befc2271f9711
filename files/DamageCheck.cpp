// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/DamageCheck.h"

#include <cstdint>
#include <cstring>

namespace lumetra {
namespace {

const QString kCutShort = QStringLiteral("the file ends before the picture does");

// Random access to the file with every read checked against its size.
class Bytes {
  public:
    explicit Bytes(QIODevice* device) : device_(device), size_(device->size()) {}
    qint64 size() const { return size_; }
    // Reads n bytes at offset; false when they are not all in the file.
    bool Read(qint64 offset, char* out, qint64 n) {
        if (offset < 0 || n < 0 || offset > size_ || size_ - offset < n) return false;
        return device_->seek(offset) && device_->read(out, n) == n;
    }
    // An unsigned number of 1, 2 or 4 bytes at offset, in the byte order given.
    bool Unsigned(qint64 offset, int bytes, bool bigEndian, std::uint32_t* v) {
        unsigned char b[4];
        if (!Read(offset, reinterpret_cast<char*>(b), bytes)) return false;
        *v = 0;
        for (int i = 0; i < bytes; ++i) *v = *v << 8 | b[bigEndian ? i : bytes - 1 - i];
        return true;
    }

  private:
    QIODevice* device_;
    qint64 size_;
};

// PNG: chunks of length, type, data and CRC from byte 8 on, up to IEND.
QString PngDamage(Bytes& file) {
    qint64 at = 8;
    while (true) {
        std::uint32_t length = 0;
        char type[4];
        if (!file.Unsigned(at, 4, true, &length) || !file.Read(at + 4, type, 4)) return kCutShort;
        if (length > 0x7FFFFFFFu) return QStringLiteral("a PNG chunk has an impossible length");
        const qint64 end = at + 12 + qint64(length);
        if (end > file.size()) return kCutShort;
        if (!std::memcmp(type, "IEND", 4)) return {};
        at = end;
    }
}

// GIF: header, screen, global colours, then extensions and images; the
// first image's data, the frame that is shown, must be complete.
QString GifDamage(Bytes& file) {
    std::uint32_t flags = 0;
    if (!file.Unsigned(10, 1, false, &flags)) return kCutShort;
    qint64 at = 13;
    if (flags & 0x80) at += 3 * (qint64(2) << (flags & 7));
    // Skips data sub-blocks (a length byte, then that many bytes) up to the
    // empty one that ends them.
    const auto skipSubBlocks = [&file](qint64* pos) {
        while (true) {
            std::uint32_t n = 0;
            if (!file.Unsigned(*pos, 1, false, &n)) return false;
            *pos += 1 + qint64(n);
            if (n == 0) return true;
            if (*pos > file.size()) return false;
        }
    };
    while (true) {
        std::uint32_t introducer = 0;
        if (!file.Unsigned(at, 1, false, &introducer)) return kCutShort;
        if (introducer == 0x21) {  // extension: label, sub-blocks
            at += 2;
            if (!skipSubBlocks(&at)) return kCutShort;
        } else if (introducer == 0x2C) {  // image: descriptor, colours, LZW size, data
            std::uint32_t imageFlags = 0;
            if (!file.Unsigned(at + 9, 1, false, &imageFlags)) return kCutShort;
            at += 10;
            if (imageFlags & 0x80) at += 3 * (qint64(2) << (imageFlags & 7));
            at += 1;  // LZW minimum code size
            return skipSubBlocks(&at) ? QString() : kCutShort;
        } else if (introducer == 0x3B) {
            return QStringLiteral("the file holds no picture");
        } else {
            return QStringLiteral("the GIF data is corrupt");
        }
    }
}

// BMP: the pixel rows an uncompressed picture needs must be in the file;
// a compressed one must be as long as its header says.
QString BmpDamage(Bytes& file) {
    std::uint32_t fileSize = 0, offset = 0, headerSize = 0;
    if (!file.Unsigned(2, 4, false, &fileSize) || !file.Unsigned(10, 4, false, &offset) ||
        !file.Unsigned(14, 4, false, &headerSize))
        return kCutShort;
    if (offset > file.size()) return kCutShort;
    if (headerSize < 40) return {};  // the old OS/2 header: nothing more to check
    std::uint32_t width = 0, height = 0, bits = 0, compression = 0;
    if (!file.Unsigned(18, 4, false, &width) || !file.Unsigned(22, 4, false, &height) ||
        !file.Unsigned(28, 2, false, &bits) || !file.Unsigned(30, 4, false, &compression))
        return kCutShort;
    const std::int64_t w = std::int32_t(width);
    std::int64_t h = std::int32_t(height);
    if (h < 0) h = -h;  // rows stored top-down
    if (w <= 0 || bits == 0 || bits > 64) return {};
    if (compression == 0 || compression == 3 || compression == 6) {  // RGB, bit fields
        const std::int64_t rowBytes = (w * bits + 31) / 32 * 4;
        if (qint64(offset) + rowBytes * h > file.size()) return kCutShort;
    } else if (fileSize > offset && qint64(fileSize) > file.size()) {
        return kCutShort;
    }
    return {};
}

// TIFF: every strip or tile of the first picture must lie in the file.
QString TiffDamage(Bytes& file) {
    char order[2];
    if (!file.Read(0, order, 2)) return kCutShort;
    const bool big = order[0] == 'M';
    std::uint32_t magic = 0, ifd = 0, entries = 0;
    if (!file.Unsigned(2, 2, big, &magic)) return kCutShort;
    if (magic != 42) return {};  // BigTIFF: left to the reader
    if (!file.Unsigned(4, 4, big, &ifd) || !file.Unsigned(ifd, 2, big, &entries)) return kCutShort;
    if (qint64(ifd) + 2 + qint64(entries) * 12 > file.size()) return kCutShort;

    struct Array {
        std::uint32_t type = 0, count = 0, valueAt = 0;
        bool found = false;
    } offsets, counts;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const qint64 entry = qint64(ifd) + 2 + qint64(i) * 12;
        std::uint32_t tag = 0;
        Array a;
        if (!file.Unsigned(entry, 2, big, &tag) || !file.Unsigned(entry + 2, 2, big, &a.type) ||
            !file.Unsigned(entry + 4, 4, big, &a.count))
            return kCutShort;
        a.found = true;
        const qint64 size = a.type == 3 ? 2 : 4;
        // Values that fit in four bytes are held in the entry itself.
        if (qint64(a.count) * size <= 4)
            a.valueAt = std::uint32_t(entry + 8);
        else if (!file.Unsigned(entry + 8, 4, big, &a.valueAt))
            return kCutShort;
        if (tag == 273 || tag == 324) offsets = a;  // strip or tile offsets
        if (tag == 279 || tag == 325) counts = a;   // their byte counts
    }
    if (!offsets.found || !counts.found) return {};
    if (offsets.count != counts.count || (offsets.type != 3 && offsets.type != 4) ||
        (counts.type != 3 && counts.type != 4))
        return QStringLiteral("the TIFF strip table is corrupt");
    const int offsetSize = offsets.type == 3 ? 2 : 4;
    const int countSize = counts.type == 3 ? 2 : 4;
    if (qint64(offsets.valueAt) + qint64(offsets.count) * offsetSize > file.size() ||
        qint64(counts.valueAt) + qint64(counts.count) * countSize > file.size())
        return kCutShort;
    for (std::uint32_t i = 0; i < offsets.count; ++i) {
        std::uint32_t start = 0, length = 0;
        const bool read =
            file.Unsigned(offsets.valueAt + qint64(i) * offsetSize, offsetSize, big, &start) &&
            file.Unsigned(counts.valueAt + qint64(i) * countSize, countSize, big, &length);
        if (!read || qint64(start) + qint64(length) > file.size()) return kCutShort;
    }
    return {};
}

}  // namespace

QString FindStructuralDamage(QIODevice* device, const QByteArray& format) {
    if (!device || !device->isOpen()) return {};
    Bytes file(device);
    if (format == "png") return PngDamage(file);
    if (format == "gif") return GifDamage(file);
    if (format == "bmp") return BmpDamage(file);
    if (format == "tiff" || format == "tif") return TiffDamage(file);
    return {};
}

QSize ClaimedSize(const QByteArray& head, const QByteArray& format) {
    const auto byte = [&head](int i) { return std::uint32_t(uchar(head[i])); };
    if (format == "gif" && head.size() >= 10)  // logical screen, little-endian
        return QSize(int(byte(6) | byte(7) << 8), int(byte(8) | byte(9) << 8));
    if (format == "bmp" && head.size() >= 26 && byte(14) >= 40) {  // Windows info header
        const auto i32 = [&byte](int i) {
            return std::int32_t(byte(i) | byte(i + 1) << 8 | byte(i + 2) << 16 | byte(i + 3) << 24);
        };
        const std::int64_t width = i32(18), height = i32(22);
        const std::int64_t h = height < 0 ? -height : height;
        if (width > 0 && width <= INT32_MAX && h <= INT32_MAX) return QSize(int(width), int(h));
    }
    return {};
}

QString FindJpeg2000Damage(const QByteArray& data) {
    // The codestream is the whole of a J2K file, or the contents of the
    // JP2 file's contiguous-codestream box ("jp2c").
    qsizetype end = data.size();
    if (data.size() >= 12 && !std::memcmp(data.constData() + 4, "jP  ", 4)) {
        qsizetype at = 0;
        bool found = false;
        while (at + 8 <= data.size()) {
            const auto* p = reinterpret_cast<const unsigned char*>(data.constData() + at);
            std::uint64_t length = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                   std::uint32_t(p[2]) << 8 | p[3];
            qsizetype header = 8;
            if (length == 1) {  // a 64-bit length follows the type
                if (at + 16 > data.size()) return kCutShort;
                length = 0;
                for (int i = 8; i < 16; ++i) length = length << 8 | p[i];
                header = 16;
            } else if (length == 0) {  // the box runs to the end of the file
                length = std::uint64_t(data.size() - at);
            }
            if (length < std::uint64_t(header)) return QStringLiteral("a JP2 box is corrupt");
            const bool codestream = !std::memcmp(p + 4, "jp2c", 4);
            if (length > std::uint64_t(data.size() - at)) return kCutShort;
            if (codestream) {
                end = at + qsizetype(length);
                found = true;
                break;
            }
            at += qsizetype(length);
        }
        if (!found) return kCutShort;
    }
    if (end < 2 || uchar(data[end - 2]) != 0xFF || uchar(data[end - 1]) != 0xD9) return kCutShort;
    return {};
}

}  // namespace lumetra
