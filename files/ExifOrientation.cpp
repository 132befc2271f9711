// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ExifOrientation.h"

#include <zlib.h>

#include <QBuffer>
#include <QByteArrayView>
#include <QColorSpace>
#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 'j',  'P',
                                             ' ',  ' ',  '\r', '\n', 0x87, '\n'};
// The UUID of the box in which JP2 files keep their Exif block.
constexpr char kJp2ExifUuid[16] = {'J', 'p', 'g', 'T', 'i', 'f', 'f', 'E',
                                   'x', 'i', 'f', '-', '>', 'J', 'P', '2'};
// A PNG text chunk larger than this is not looked into, and its text is
// inflated no further than the second limit: a camera's Exif block is a
// few kilobytes, and a hostile file must not make every opening inflate
// hundreds of megabytes to find one number.
constexpr qint64 kMaxTextChunk = qint64(16) << 20;
constexpr qsizetype kMaxProfileText = qsizetype(8) << 20;

// Random access to a file, or to bytes in memory, with every read checked
// against the size.
class Source {
  public:
    Source(const char* data, qint64 size) : memory_(data), size_(size) {}
    explicit Source(QIODevice* device) : device_(device), size_(device->size()) {
        if (auto* buffer = qobject_cast<QBuffer*>(device)) {
            memory_ = buffer->data().constData();
            size_ = buffer->data().size();
            device_ = nullptr;
        }
    }
    qint64 size() const { return size_; }
    // Reads n bytes at offset; false when they are not all in the source.
    bool Read(qint64 offset, void* out, qint64 n) {
        if (offset < 0 || n < 0 || offset > size_ || size_ - offset < n) return false;
        if (!device_) {
            std::memcpy(out, memory_ + offset, std::size_t(n));
            return true;
        }
        return device_->seek(offset) && device_->read(static_cast<char*>(out), n) == n;
    }

  private:
    QIODevice* device_ = nullptr;
    const char* memory_ = nullptr;
    qint64 size_ = 0;
};

std::uint16_t Big16(const unsigned char* p) {
    return std::uint16_t(p[0] << 8 | p[1]);
}
std::uint32_t Big32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The Orientation entry of the first directory of the TIFF structure at
// [base, base + length) of the source (a whole TIFF file, or an Exif
// block); 1 when there is none or it cannot be read.
int OrientationInTiff(Source& in, qint64 base, qint64 length) {
    unsigned char header[8];
    if (length < 8 || !in.Read(base, header, 8)) return 1;
    bool bigEndian;
    if (header[0] == 'I' && header[1] == 'I')
        bigEndian = false;
    else if (header[0] == 'M' && header[1] == 'M')
        bigEndian = true;
    else
        return 1;
    const auto u16 = [bigEndian](const unsigned char* p) {
        return bigEndian ? Big16(p) : std::uint16_t(p[1] << 8 | p[0]);
    };
    const auto u32 = [bigEndian](const unsigned char* p) {
        return bigEndian ? Big32(p)
                         : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                               std::uint32_t(p[1]) << 8 | p[0];
    };
    if (u16(header + 2) != 42) return 1;
    const qint64 ifd = u32(header + 4);
    unsigned char countBytes[2];
    if (ifd > length - 2 || !in.Read(base + ifd, countBytes, 2)) return 1;
    // Only the entries that lie inside the structure are looked at.
    const qint64 count = std::min<qint64>(u16(countBytes), (length - ifd - 2) / 12);
    std::vector<unsigned char> entries(std::size_t(count) * 12);
    if (count > 0 && !in.Read(base + ifd + 2, entries.data(), count * 12)) return 1;
    for (qint64 i = 0; i < count; ++i) {
        const unsigned char* entry = entries.data() + i * 12;
        if (u16(entry) != kOrientationTag) continue;
        if (u16(entry + 2) != kTypeShort || u32(entry + 4) < 1) return 1;
        const std::uint16_t value = u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

// An Exif block: the TIFF structure, which some writers give the
// "Exif\0\0" that starts a JPEG's segment.
int OrientationInExifBlock(Source& in, qint64 at, qint64 length) {
    unsigned char prefix[6];
    if (length >= 6 && in.Read(at, prefix, 6) && prefix[4] == 0 && prefix[5] == 0 &&
        QByteArrayView(reinterpret_cast<const char*>(prefix), 4)
                .compare("exif", Qt::CaseInsensitive) == 0) {
        at += 6;
        length -= 6;
    }
    return OrientationInTiff(in, at, length);
}

// JPEG: the first APP1 segment holding Exif among the markers before the
// scan.
int OrientationInJpeg(Source& in) {
    qint64 at = 2;
    while (true) {
        unsigned char marker[4];
        if (!in.Read(at, marker, 2) || marker[0] != 0xFF) return 1;
        if (marker[1] == 0xFF) {  // a fill byte before the marker
            ++at;
            continue;
        }
        if (marker[1] == 0xDA || marker[1] == 0xD9) return 1;  // the scan, or the end
        if (marker[1] == 0x01 || marker[1] == 0xD8 || (marker[1] >= 0xD0 && marker[1] <= 0xD7)) {
            at += 2;  // markers without a length
            continue;
        }
        if (!in.Read(at + 2, marker + 2, 2)) return 1;
        const qint64 length = Big16(marker + 2);
        if (length < 2) return 1;
        unsigned char id[6];
        if (marker[1] == 0xE1 && length >= 8 && in.Read(at + 4, id, 6) &&
            std::memcmp(id, "Exif\0\0", 6) == 0)
            return OrientationInTiff(in, at + 10, length - 8);
        at += 2 + length;
    }
}

QByteArray Inflate(const char* data, qsizetype size) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = uInt(size);
    QByteArray out;
    char buffer[16384];
    int status = Z_OK;
    while (status == Z_OK && out.size() < kMaxProfileText) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
    }
    inflateEnd(&z);
    return out;  // what could be inflated: the Exif block is read only as far as it goes
}

// The text of a tEXt, zTXt or iTXt chunk whose data (keyword included) is
// chunk; from is where the keyword's end leaves off.
QByteArray ChunkText(const char* type, const QByteArray& chunk, qsizetype from) {
    if (std::memcmp(type, "tEXt", 4) == 0) return chunk.mid(from);
    if (std::memcmp(type, "zTXt", 4) == 0) {  // compression method 0, then zlib data
        if (from >= chunk.size() || chunk[from] != 0) return {};
        return Inflate(chunk.constData() + from + 1, chunk.size() - from - 1);
    }
    // iTXt: compression flag and method, language tag, translated keyword.
    if (from + 2 > chunk.size()) return {};
    const bool compressed = chunk[from] != 0;
    qsizetype at = from + 2;
    for (int field = 0; field < 2; ++field) {
        const qsizetype end = chunk.indexOf('\0', at);
        if (end < 0) return {};
        at = end + 1;
    }
    return compressed ? Inflate(chunk.constData() + at, chunk.size() - at) : chunk.mid(at);
}

// The bytes of a raw profile as ImageMagick and exiv2 write it: the
// profile's name, its length in bytes, then the bytes in hexadecimal over
// many lines.
QByteArray DecodeRawProfile(const QByteArray& text) {
    const auto space = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    const qsizetype n = text.size();
    qsizetype at = 0;
    while (at < n && space(text[at])) ++at;
    while (at < n && !space(text[at])) ++at;  // the name
    while (at < n && space(text[at])) ++at;
    qsizetype length = 0;
    for (; at < n && text[at] >= '0' && text[at] <= '9' && length <= kMaxProfileText; ++at)
        length = length * 10 + (text[at] - '0');
    QByteArray bytes;
    bytes.reserve(std::min(length, (n - at) / 2));
    int high = -1;
    for (; at < n && bytes.size() < length; ++at) {
        const char c = text[at];
        if (space(c)) continue;
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) break;
        if (high < 0) {
            high = digit;
        } else {
            bytes.append(char(high << 4 | digit));
            high = -1;
        }
    }
    return bytes;
}

// A PNG text chunk at [at, at + length): 0 when it is not the Exif raw
// profile, else the orientation the profile holds.
int OrientationInRawProfile(Source& in, const char* type, qint64 at, qint64 length) {
    char keyword[80];
    const qint64 head = std::min<qint64>(length, sizeof keyword);
    if (!in.Read(at, keyword, head)) return 0;
    const auto* end = static_cast<const char*>(std::memchr(keyword, 0, std::size_t(head)));
    if (!end) return 0;
    const QByteArrayView name(keyword, end - keyword);
    if (name != "Raw profile type exif" && name != "Raw profile type APP1") return 0;
    if (length > kMaxTextChunk) return 1;
    QByteArray chunk(qsizetype(length), Qt::Uninitialized);
    if (!in.Read(at, chunk.data(), length)) return 1;
    const QByteArray exif = DecodeRawProfile(ChunkText(type, chunk, name.size() + 1));
    Source block(exif.constData(), exif.size());
    return OrientationInExifBlock(block, 0, block.size());
}

// PNG: the chunks before the picture data, the standard eXIf chunk taking
// precedence over the text chunk.
int OrientationInPng(Source& in) {
    int fromText = 0;
    qint64 at = sizeof kPngSignature;
    unsigned char header[8];
    while (in.Read(at, header, 8)) {
        const qint64 length = Big32(header);
        const char* type = reinterpret_cast<const char*>(header + 4);
        if (length > 0x7FFFFFFF || std::memcmp(type, "IDAT", 4) == 0 ||
            std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "eXIf", 4) == 0) return OrientationInExifBlock(in, at + 8, length);
        if (fromText == 0 &&
            (std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 ||
             std::memcmp(type, "iTXt", 4) == 0))
            fromText = OrientationInRawProfile(in, type, at + 8, length);
        at += 12 + length;
    }
    return fromText > 0 ? fromText : 1;
}

// JP2: the Exif box among the top-level boxes.
int OrientationInJp2(Source& in) {
    qint64 at = 0;
    unsigned char header[16];
    while (in.Read(at, header, 8)) {
        qint64 length = Big32(header);
        qint64 headerSize = 8;
        if (length == 1) {  // a 64-bit length follows the type
            if (!in.Read(at + 8, header + 8, 8) || Big32(header + 8) != 0) return 1;
            length = Big32(header + 12);
            headerSize = 16;
        } else if (length == 0) {  // the box runs to the end of the file
            length = in.size() - at;
        }
        if (length < headerSize || length > in.size() - at) return 1;
        char uuid[16];
        if (std::memcmp(header + 4, "uuid", 4) == 0 && length >= headerSize + 16 &&
            in.Read(at + headerSize, uuid, 16) && std::memcmp(uuid, kJp2ExifUuid, 16) == 0)
            return OrientationInExifBlock(in, at + headerSize + 16, length - headerSize - 16);
        at += length;
    }
    return 1;
}

int OrientationOf(Source& in) {
    unsigned char head[12];
    const qint64 n = std::min<qint64>(in.size(), sizeof head);
    if (n < 4 || !in.Read(0, head, n)) return 1;
    if (n >= 8 && std::memcmp(head, kPngSignature, 8) == 0) return OrientationInPng(in);
    if (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return OrientationInJpeg(in);
    if (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0)
        return OrientationInTiff(in, 0, in.size());
    if (n >= 12 && std::memcmp(head, kJp2Signature, 12) == 0) return OrientationInJp2(in);
    return 1;
}

// Where stored pixel (sx, sy) comes from for upright pixel (x, y), per
// orientation; w and h are the stored picture's sides. Each coordinate
// steps along x and along y, counting back from the far side where the
// picture is mirrored.
struct SourceMap {
    int xx, xy, xw, yx, yy, yh;  // sx = xx x + xy y + xw (w - 1), sy likewise
    int w, h;
    SourceMap(int orientation, int width, int height) : w(width), h(height) {
        static constexpr int kSteps[8][6] = {
            {1, 0, 0, 0, 1, 0},    // 1: as stored
            {-1, 0, 1, 0, 1, 0},   // 2: mirrored
            {-1, 0, 1, 0, -1, 1},  // 3: a half turn
            {1, 0, 0, 0, -1, 1},   // 4: flipped
            {0, 1, 0, 1, 0, 0},    // 5: transpose
            {0, 1, 0, -1, 0, 1},   // 6: a quarter turn clockwise
            {0, -1, 1, -1, 0, 1},  // 7: transverse
            {0, -1, 1, 1, 0, 0},   // 8: a quarter turn anticlockwise
        };
        const int* k = kSteps[orientation >= 1 && orientation <= 8 ? orientation - 1 : 0];
        xx = k[0], xy = k[1], xw = k[2], yx = k[3], yy = k[4], yh = k[5];
    }
    void operator()(int x, int y, int* sx, int* sy) const {
        *sx = xx * x + xy * y + xw * (w - 1);
        *sy = yx * x + yy * y + yh * (h - 1);
    }
};

// A pixel of n bytes, for the layouts without a machine word of their size.
template <int n>
struct Bytes {
    unsigned char b[n];
};

template <class Pixel>
void Turn(const QImage& stored, QImage* upright, int orientation) {
    const SourceMap map(orientation, stored.width(), stored.height());
    const uchar* src = stored.constBits();
    const std::size_t srcStride = std::size_t(stored.bytesPerLine());
    uchar* dst = upright->bits();
    const std::size_t dstStride = std::size_t(upright->bytesPerLine());
    const int outW = upright->width();
    // Blocks of 64 x 64 so that a quarter turn reads whole cache lines of
    // the stored picture instead of one pixel per line.
    constexpr int kBlock = 64;
    ParallelBands(upright->height(), outW, [&](int y0, int y1) {
        for (int by = y0; by < y1; by += kBlock) {
            const int byEnd = by + kBlock < y1 ? by + kBlock : y1;
            for (int bx = 0; bx < outW; bx += kBlock) {
                const int bxEnd = bx + kBlock < outW ? bx + kBlock : outW;
                for (int y = by; y < byEnd; ++y) {
                    auto* out = reinterpret_cast<Pixel*>(dst + std::size_t(y) * dstStride);
                    for (int x = bx; x < bxEnd; ++x) {
                        int sx, sy;
                        map(x, y, &sx, &sy);
                        out[x] =
                            reinterpret_cast<const Pixel*>(src + std::size_t(sy) * srcStride)[sx];
                    }
                }
            }
        }
    });
}

}  // namespace

int SourceOrientation(QIODevice* file) {
    if (!file || !file->isOpen() || file->isSequential()) return 1;
    const qint64 position = file->pos();
    Source in(file);
    const int orientation = OrientationOf(in);
    file->seek(position);
    return orientation;
}

int SourceOrientation(const QByteArray& bytes) {
    Source in(bytes.constData(), bytes.size());
    return OrientationOf(in);
}

int ExifBlockOrientation(const QByteArray& exif) {
    Source in(exif.constData(), exif.size());
    return OrientationInExifBlock(in, 0, exif.size());
}

QImage ApplyExifOrientation(const QImage& stored, int orientation) {
    if (orientation < 2 || orientation > 8 || stored.isNull()) return stored;
    // Pictures of less than a byte per pixel are turned as 8-bit indexed ones.
    if (stored.depth() < 8)
        return ApplyExifOrientation(stored.convertToFormat(QImage::Format_Indexed8), orientation);
    const int w = stored.width(), h = stored.height();
    const bool swap = orientation >= 5;
    QImage upright(swap ? h : w, swap ? w : h, stored.format());
    if (upright.isNull()) return upright;
    upright.setColorTable(stored.colorTable());
    upright.setColorSpace(stored.colorSpace());
    switch (stored.depth()) {
        case 8:
            Turn<std::uint8_t>(stored, &upright, orientation);
            break;
        case 16:
            Turn<std::uint16_t>(stored, &upright, orientation);
            break;
        case 24:
            Turn<Bytes<3>>(stored, &upright, orientation);
            break;
        case 32:
            Turn<std::uint32_t>(stored, &upright, orientation);
            break;
        case 64:
            Turn<std::uint64_t>(stored, &upright, orientation);
            break;
        case 128:
            Turn<Bytes<16>>(stored, &upright, orientation);
            break;
        default:
            return ApplyExifOrientation(stored.convertToFormat(QImage::Format_ARGB32), orientation);
    }
    return upright;
}

}  // namespace lumetra
