// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/GifEncoder.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "render/Parallel.h"

namespace lumetra {
namespace {

constexpr int kMaxGifSide = 65535;  // sides are 16-bit fields in the file

struct AttrDeleter {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct LiqImageDeleter {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct ResultDeleter {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

int AppendToBuffer(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

// The pixels as the palette search should see them: alpha 0 becomes one
// transparent colour, any other alpha becomes opaque. Reports whether any
// pixel is transparent.
QImage BinaryAlpha(const QImage& rgba, bool* anyTransparent) {
    QImage out(rgba.size(), QImage::Format_RGBA8888);
    if (out.isNull()) return out;
    std::atomic<bool> transparent{false};
    const int width = rgba.width();
    ParallelBands(rgba.height(), width, [&](int y0, int y1) {
        bool seen = false;
        for (int y = y0; y < y1; ++y) {
            const auto* in = reinterpret_cast<const std::uint32_t*>(rgba.constScanLine(y));
            auto* line = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
            for (int x = 0; x < width; ++x) {
                // Bytes R, G, B, A in memory: alpha is the top byte.
                const std::uint32_t px = in[x];
                const bool clear = (px >> 24) == 0;
                seen |= clear;
                line[x] = clear ? 0u : (px | 0xff000000u);
            }
        }
        if (seen) transparent.store(true, std::memory_order_relaxed);
    });
    *anyTransparent = transparent.load();
    return out;
}

// Index of the palette's transparent entry, -1 when there is none.
int TransparentEntry(const liq_palette& palette) {
    for (unsigned i = 0; i < palette.count; ++i)
        if (palette.entries[i].a == 0) return int(i);
    return -1;
}

// Nearest opaque entry to a colour, for the rare opaque pixel that the
// dithering pushed onto the transparent entry.
GifPixelType NearestOpaque(const liq_palette& palette, int transparent, const uchar* px) {
    int best = transparent == 0 ? 1 : 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < int(palette.count); ++i) {
        if (i == transparent) continue;
        const liq_color& c = palette.entries[i];
        const int dr = int(c.r) - px[0], dg = int(c.g) - px[1], db = int(c.b) - px[2];
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return GifPixelType(best);
}

}  // namespace

QByteArray EncodeGif(const QImage& source, QString* error) {
    const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();
    if (rgba.isNull() || width < 1 || height < 1) {
        SetError(error, QStringLiteral("There is no picture to encode."));
        return {};
    }
    if (width > kMaxGifSide || height > kMaxGifSide) {
        SetError(error, QStringLiteral("GIF cannot hold a picture wider or higher than 65535 pixels."));
        return {};
    }
    bool anyTransparent = false;
    const QImage pixels = BinaryAlpha(rgba, &anyTransparent);
    if (pixels.isNull()) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }

    // Palette search and dithered remapping.
    std::unique_ptr<liq_attr, AttrDeleter> attr(liq_attr_create());
    if (!attr) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }
    liq_set_max_colors(attr.get(), 256);
    std::vector<void*> rows(std::size_t(height), nullptr);
    for (int y = 0; y < height; ++y) rows[std::size_t(y)] = const_cast<uchar*>(pixels.constScanLine(y));
    std::unique_ptr<liq_image, LiqImageDeleter> image(
        liq_image_create_rgba_rows(attr.get(), rows.data(), width, height, 0));
    liq_result* rawResult = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK) {
        SetError(error, QStringLiteral("No palette could be made for the picture."));
        return {};
    }
    std::unique_ptr<liq_result, ResultDeleter> result(rawResult);
    liq_set_dithering_level(result.get(), 1.0f);
    std::vector<GifPixelType> indexes;
    try {
        indexes.resize(std::size_t(width) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }
    if (liq_write_remapped_image(result.get(), image.get(), indexes.data(), indexes.size()) !=
        LIQ_OK) {
        SetError(error, QStringLiteral("The picture could not be mapped onto its palette."));
        return {};
    }
    const liq_palette& palette = *liq_get_palette(result.get());
    const int transparent = anyTransparent ? TransparentEntry(palette) : -1;

    // Transparency is exact: alpha 0 and only alpha 0 gives the clear entry.
    if (anyTransparent) {
        ParallelBands(height, width, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uchar* in = pixels.constScanLine(y);
                GifPixelType* line = indexes.data() + std::size_t(y) * std::size_t(width);
                for (int x = 0; x < width; ++x) {
                    const bool clear = in[4 * x + 3] == 0;
                    if (clear && transparent >= 0) {
                        line[x] = GifPixelType(transparent);
                    } else if (!clear && int(line[x]) == transparent) {
                        line[x] = NearestOpaque(palette, transparent, in + 4 * x);
                    }
                }
            }
        });
    }

    // GIF colour tables hold a power of two entries, at least two.
    int tableSize = 2;
    while (tableSize < int(palette.count)) tableSize *= 2;
    std::vector<GifColorType> colours(std::size_t(tableSize), GifColorType{0, 0, 0});
    for (unsigned i = 0; i < palette.count; ++i)
        colours[i] = GifColorType{palette.entries[i].r, palette.entries[i].g, palette.entries[i].b};
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(tableSize, colours.data()));
    if (!map) {
        SetError(error, QStringLiteral("Not enough memory to encode the picture."));
        return {};
    }

    QByteArray out;
    int status = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &status);
    if (!gif) {
        SetError(error, QString::fromUtf8(GifErrorString(status)));
        return {};
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_OK;
    if (ok && transparent >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor = transparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, indexes.data() + std::size_t(y) * std::size_t(width), width) == GIF_OK;
    int failure = ok ? 0 : gif->Error;
    int closeStatus = 0;
    if (EGifCloseFile(gif, &closeStatus) != GIF_OK) {
        ok = false;
        if (failure == 0) failure = closeStatus;
    }
    if (!ok) {
        SetError(error, QStringLiteral("The GIF encoder failed: %1")
                            .arg(QString::fromUtf8(GifErrorString(failure))));
        return {};
    }
    return out;
}

}  // namespace lumetra
