// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/PngEncoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "files/SaveBitmap.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kWindow = 32768;               // deflate's look-back, and the priming
constexpr std::size_t kBandBytes = 4 << 20;  // filtered bytes per band, about

// zlib level 2, default strategy, each row's filter chosen as libpng does.
// Measured on the benchmark's 6000 x 4000 photo (bench_job save-png): level
// 6 with Z_FILTERED, what we wrote before, spends 7.3 s of processor time
// for 33.7 MB; level 2 spends about 1.1 s for 33.7 MB, level 1 1.0 s for
// 34.0 MB, level 3 2.2 s for 32.2 MB, level 4 (where zlib's lazy matching
// starts) 2.8 s for 42.0 MB, run-length or Huffman-only coding about 1 s for
// 50-51 MB. Levels 1 to 3 use zlib's fast matcher, on which the strategy
// has no effect. libvips' PNG writer (level 6, no filtering) writes 56.6 MB
// for the same photo. One filter for every row does about as well on that
// photo (Up: 33.0 MB, Paeth: 34.2 MB at level 2); the per-row choice stays,
// as it is what adapts to graphics and screenshots, for about 0.1 s.
constexpr int kLevel = 2;
constexpr int kStrategy = Z_DEFAULT_STRATEGY;
// The zlib stream header for a 32 KB window and a "fast" level (2..5),
// the check bits making it a multiple of 31.
constexpr unsigned char kZlibHeader[2] = {0x78, 0x5E};

void Put32(Bytes* out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<unsigned char>(v >> shift));
}

// A chunk: length, type, data, CRC of type and data.
void PutChunk(Bytes* out, const char* type, const unsigned char* data, std::size_t size) {
    Put32(out, std::uint32_t(size));
    const std::size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data, data + size);
    Put32(out, std::uint32_t(crc32(0, out->data() + start, uInt(size + 4))));
}

// A filtered byte's size as libpng's heuristic counts it: read as signed,
// by magnitude.
inline unsigned Magnitude(unsigned char v) {
    return v < 128 ? v : 256u - v;
}

// Chooses each row's filter by libpng's heuristic: the one whose filtered
// bytes have the smallest sum of magnitudes. The four predictions are made
// in one pass over the row, written so that the compiler vectorises it.
class RowFilter {
  public:
    RowFilter(int rowBytes, int pixelBytes)
        : size_(rowBytes), bpp_(pixelBytes), trial_(std::size_t(rowBytes) * 4) {}

    // Writes the filter type and the filtered row (1 + rowBytes) to out.
    void Filter(const unsigned char* raw, const unsigned char* prior, unsigned char* out) {
        unsigned char* __restrict sub = trial_.data();
        unsigned char* __restrict up = sub + size_;
        unsigned char* __restrict avg = up + size_;
        unsigned char* __restrict paeth = avg + size_;
        // The first pixel has no left neighbour: left and upper left are 0.
        for (int i = 0; i < bpp_ && i < size_; ++i) {
            const int x = raw[i], b = prior[i];
            sub[i] = static_cast<unsigned char>(x);
            up[i] = static_cast<unsigned char>(x - b);
            avg[i] = static_cast<unsigned char>(x - (b >> 1));
            paeth[i] = static_cast<unsigned char>(x - b);  // Paeth picks up when left is 0
        }
        for (int i = bpp_; i < size_; ++i) {
            const int x = raw[i], a = raw[i - bpp_], b = prior[i], c = prior[i - bpp_];
            sub[i] = static_cast<unsigned char>(x - a);
            up[i] = static_cast<unsigned char>(x - b);
            avg[i] = static_cast<unsigned char>(x - ((a + b) >> 1));
            // Paeth: the neighbour nearest to a + b - c, ties to left, then up.
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            paeth[i] = static_cast<unsigned char>(x - predicted);
        }
        // Summed in 32 bits over pieces of 64 KB (at most 128 per byte),
        // which vectorises better than 64-bit sums.
        std::uint64_t costs[5] = {0, 0, 0, 0, 0};
        for (int start = 0; start < size_; start += 65536) {
            const int end = std::min(size_, start + 65536);
            unsigned piece[5] = {0, 0, 0, 0, 0};
            for (int i = start; i < end; ++i) {
                piece[0] += Magnitude(raw[i]);
                piece[1] += Magnitude(sub[i]);
                piece[2] += Magnitude(up[i]);
                piece[3] += Magnitude(avg[i]);
                piece[4] += Magnitude(paeth[i]);
            }
            for (int f = 0; f < 5; ++f) costs[f] += piece[f];
        }
        int best = 0;
        for (int f = 1; f < 5; ++f)
            if (costs[f] < costs[best]) best = f;
        const unsigned char* chosen =
            best == 0 ? raw : trial_.data() + std::size_t(best - 1) * size_;
        out[0] = static_cast<unsigned char>(best);
        std::memcpy(out + 1, chosen, std::size_t(size_));
    }

  private:
    int size_;
    int bpp_;
    Bytes trial_;
};

struct Band {
    int firstRow = 0;
    int endRow = 0;
    Bytes compressed;
    uLong adler = 1;
    std::size_t filteredSize = 0;
    bool ok = false;
};

// The raw bytes of a row in PNG's order (red, green, blue[, alpha]): the
// bitmap's own for RGBA bytes, reordered or packed into scratch otherwise.
const unsigned char* RawRow(const QImage& bitmap, int y, int channels, Bytes* scratch) {
    const uchar* line = bitmap.constScanLine(y);
    const bool blueFirst = IsBlueFirst(bitmap);
    if (channels == 4 && !blueFirst) return line;
    const int width = bitmap.width();
    const int red = blueFirst ? 2 : 0;
    unsigned char* out = scratch->data();
    if (channels == 4) {
        for (int x = 0; x < width; ++x) {
            out[4 * x] = line[4 * x + red];
            out[4 * x + 1] = line[4 * x + 1];
            out[4 * x + 2] = line[4 * x + 2 - red];
            out[4 * x + 3] = line[4 * x + 3];
        }
    } else {
        for (int x = 0; x < width; ++x) {
            out[3 * x] = line[4 * x + red];
            out[3 * x + 1] = line[4 * x + 1];
            out[3 * x + 2] = line[4 * x + 2 - red];
        }
    }
    return out;
}

void CompressBand(const QImage& rgba, int channels, bool last, Band* band) {
    const int rowBytes = rgba.width() * channels;
    const std::size_t lineBytes = std::size_t(rowBytes) + 1;
    // Rows before the band are filtered again here so that their bytes can
    // prime the dictionary exactly as a single stream would have them.
    const int primeRows = std::min(band->firstRow, int((kWindow + lineBytes - 1) / lineBytes));
    const int start = band->firstRow - primeRows;
    Bytes filtered((std::size_t(band->endRow) - std::size_t(start)) * lineBytes);
    Bytes packed[2] = {Bytes(std::size_t(rowBytes)), Bytes(std::size_t(rowBytes))};
    Bytes zeros(std::size_t(rowBytes), 0);
    RowFilter filter(rowBytes, channels);
    const unsigned char* prior = zeros.data();
    if (start > 0) prior = RawRow(rgba, start - 1, channels, &packed[(start - 1) & 1]);
    for (int y = start; y < band->endRow; ++y) {
        Bytes* scratch = &packed[y & 1];
        const unsigned char* raw = RawRow(rgba, y, channels, scratch);
        filter.Filter(raw, prior, filtered.data() + std::size_t(y - start) * lineBytes);
        prior = raw;
    }

    const std::size_t primeBytes = std::size_t(primeRows) * lineBytes;
    const unsigned char* data = filtered.data() + primeBytes;
    band->filteredSize = filtered.size() - primeBytes;
    band->adler = adler32(1, data, uInt(band->filteredSize));

    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, kStrategy) != Z_OK) return;
    if (primeRows > 0) {
        const std::size_t dictionary = std::min<std::size_t>(primeBytes, kWindow);
        deflateSetDictionary(&z, data - dictionary, uInt(dictionary));
    }
    band->compressed.resize(deflateBound(&z, uLong(band->filteredSize)) + 64);
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = uInt(band->filteredSize);
    z.next_out = band->compressed.data();
    z.avail_out = uInt(band->compressed.size());
    const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    band->ok = (last ? result == Z_STREAM_END : result == Z_OK) && z.avail_in == 0;
    band->compressed.resize(band->compressed.size() - z.avail_out);
    deflateEnd(&z);
}

}  // namespace

QByteArray EncodePng(const QImage& rgba, QString* error) {
    const auto fail = [error](const QString& text) {
        if (error) *error = text;
        return QByteArray();
    };
    if (rgba.isNull() || !IsSaveBitmap(rgba))
        return fail(QStringLiteral("There is no RGBA bitmap to encode."));
    const int width = rgba.width();
    const int height = rgba.height();
    const int channels = HasTransparentPixels(rgba) ? 4 : 3;
    const std::size_t lineBytes = std::size_t(width) * std::size_t(channels) + 1;

    // Bands of about kBandBytes, at least a few per worker when the picture
    // is large enough to be worth it.
    const int byShare = (height + WorkerThreads() * 4 - 1) / (WorkerThreads() * 4);
    const int bySize = int(std::max<std::size_t>(1, kBandBytes / lineBytes));
    const int bandRows = std::max(1, std::min(byShare, bySize));
    const int bandCount = (height + bandRows - 1) / bandRows;
    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int b = 0; b < bandCount; ++b) {
        bands[std::size_t(b)].firstRow = b * bandRows;
        bands[std::size_t(b)].endRow = std::min(height, (b + 1) * bandRows);
    }
    ParallelBands(
        bandCount, std::int64_t(bandRows) * std::int64_t(lineBytes) * 8, [&](int b0, int b1) {
            for (int b = b0; b < b1; ++b) {
                try {
                    CompressBand(rgba, channels, b == bandCount - 1, &bands[std::size_t(b)]);
                } catch (const std::bad_alloc&) {
                    bands[std::size_t(b)].ok = false;
                }
            }
        });

    std::size_t total = 64;
    for (const Band& band : bands) {
        if (!band.ok) return fail(QStringLiteral("The PNG encoder failed (out of memory?)."));
        total += band.compressed.size() + 12;
    }
    Bytes file;
    try {
        file.reserve(total);
        static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        file.insert(file.end(), signature, signature + 8);
        Bytes header;
        Put32(&header, std::uint32_t(width));
        Put32(&header, std::uint32_t(height));
        const unsigned char rest[5] = {8, static_cast<unsigned char>(channels == 4 ? 6 : 2), 0, 0,
                                       0};
        header.insert(header.end(), rest, rest + 5);
        PutChunk(&file, "IHDR", header.data(), header.size());
        // The zlib stream: its header, the bands, the Adler-32 of all the
        // filtered bytes, each in IDAT chunks.
        PutChunk(&file, "IDAT", kZlibHeader, 2);
        uLong adler = 1;
        for (const Band& band : bands) {
            PutChunk(&file, "IDAT", band.compressed.data(), band.compressed.size());
            adler = adler32_combine(adler, band.adler, z_off_t(band.filteredSize));
        }
        Bytes trailer;
        Put32(&trailer, std::uint32_t(adler));
        PutChunk(&file, "IDAT", trailer.data(), trailer.size());
        PutChunk(&file, "IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        return fail(QStringLiteral("Not enough memory to encode the picture."));
    }
    return QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
}

}  // namespace lumetra
