// SPDX-License-Identifier: GPL-3.0-or-later
// Cartoon, vignette, pixelate and halftone: effects that redraw the picture
// in a style rather than move or blur it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::LoadPx;
using fx::Px;
using fx::StorePx;

float Luma(Px p) {
    return ImageTools::kLumaR * p[0] + ImageTools::kLumaG * p[1] + ImageTools::kLumaB * p[2];
}

// The square cells of pixelate and halftone: `side` pixels (at least one),
// anchored at the top-left. A pixel belongs to the cell its centre lies in.
struct CellGrid {
    double side = 1.0;
    std::vector<int> firstColumn;  // per cell column, plus the width at the end
    std::vector<int> firstRow;     // per cell row, plus the height at the end

    // A cell wider than the picture is the whole picture: the side is held
    // there, so a huge fraction cannot overflow the arithmetic below.
    CellGrid(double cellSide, int width, int height)
        : side(std::min(std::max(1.0, cellSide), double(std::max({width, height, 1})))) {
        firstColumn = Starts(width);
        firstRow = Starts(height);
    }
    int columns() const { return int(firstColumn.size()) - 1; }
    int rows() const { return int(firstRow.size()) - 1; }

  private:
    std::vector<int> Starts(int pixels) const {
        std::vector<int> starts;
        long long current = -1;
        for (int p = 0; p < pixels; ++p) {
            const long long cell = (long long)std::floor((p + 0.5) / side);
            if (cell != current) {
                starts.push_back(p);
                current = cell;
            }
        }
        starts.push_back(pixels);
        return starts;
    }
};

// Calls cellRow(cellRowIndex, averages) for each row of cells, in parallel,
// with the premultiplied average of every cell of that row. A cell's row
// segment is summed in single precision, the cell in double: a cell can
// hold more than a million pixels.
template <class CellRow>
void ForEachCellRow(const Image& image, const CellGrid& grid, CellRow&& cellRow) {
    const int columns = grid.columns();
    const auto& firstColumn = grid.firstColumn;
    ParallelBands(
        grid.rows(), std::int64_t(image.width()) * std::int64_t(grid.side), [&](int r0, int r1) {
            std::vector<float> scratch(image.isFloat() ? 0 : image.rowFloats());
            fx::AlignedArray<fx::D4> sums;
            std::vector<Px> averages(static_cast<std::size_t>(columns));
            for (int r = r0; r < r1; ++r) {
                sums.assign(std::size_t(columns), fx::D4{});
                const int y0 = grid.firstRow[std::size_t(r)];
                const int y1 = grid.firstRow[std::size_t(r) + 1];
                for (int y = y0; y < y1; ++y) {
                    const float* src = image.rowAsFloat(y, scratch.data());
                    for (int c = 0; c < columns; ++c) {
                        Px segment{};
                        for (int x = firstColumn[std::size_t(c)];
                             x < firstColumn[std::size_t(c) + 1]; ++x)
                            segment += fx::Premultiply(LoadPx(src + 4 * x));
                        sums[std::size_t(c)] += __builtin_convertvector(segment, fx::D4);
                    }
                }
                for (int c = 0; c < columns; ++c) {
                    const int width = firstColumn[std::size_t(c) + 1] - firstColumn[std::size_t(c)];
                    const fx::D4 mean = sums[std::size_t(c)] / double((y1 - y0) * width);
                    averages[std::size_t(c)] = __builtin_convertvector(mean, Px);
                }
                cellRow(r, averages);
            }
        });
}

// The cartoon's outlines and flat colours for rows y0 .. y1 - 1 of the
// blurred picture: a Sobel edge above the threshold is black, other pixels
// keep their colour, posterised to `levels` steps when levels > 0. Written
// without branches in the pixel loop so that it vectorises.
LUMETRA_INLINE void CartoonRowsBody(const Image& blurred, Image& out, float threshold, float levels,
                                    int y0, int y1) {
    const int w = blurred.width();
    const int h = blurred.height();
    const bool posterise = levels > 0.f;
    // Luminance of three rows (above, this, below), edges repeated.
    std::vector<float> lumaRows[3];
    auto fill = [&](std::vector<float>& luma, int y) {
        const float* src = blurred.row(std::clamp(y, 0, h - 1));
        luma.resize(std::size_t(w) + 2);
        float* l = luma.data() + 1;
        for (int x = 0; x < w; ++x)
            l[x] = ImageTools::kLumaR * src[4 * x] + ImageTools::kLumaG * src[4 * x + 1] +
                   ImageTools::kLumaB * src[4 * x + 2];
        luma[0] = luma[1];
        luma[std::size_t(w) + 1] = luma[std::size_t(w)];
    };
    fill(lumaRows[0], y0 - 1);
    fill(lumaRows[1], y0);
    for (int y = y0; y < y1; ++y) {
        fill(lumaRows[2], y + 1);
        const float* above = lumaRows[0].data() + 1;
        const float* middle = lumaRows[1].data() + 1;
        const float* below = lumaRows[2].data() + 1;
        const float* src = blurred.row(y);
        float* dst = out.row(y);
        for (int x = 0; x < w; ++x) {
            // Sobel: h grows downwards, v to the right.
            const float gh = -above[x - 1] - 2.f * above[x] - above[x + 1] + below[x - 1] +
                             2.f * below[x] + below[x + 1];
            const float gv = -above[x - 1] - 2.f * middle[x - 1] - below[x - 1] + above[x + 1] +
                             2.f * middle[x + 1] + below[x + 1];
            const float magnitude = std::sqrt(gh * gh + gv * gv);
            const bool edge = magnitude >= threshold;
            const float* p = src + 4 * x;
            float* d = dst + 4 * x;
            for (int k = 0; k < 3; ++k) {
                const float shown =
                    posterise ? Clamp01(std::floor(p[k] * levels + 0.5f) / levels) : p[k];
                d[k] = edge ? 0.f : shown;
            }
            d[3] = p[3];
        }
        std::swap(lumaRows[0], lumaRows[1]);
        std::swap(lumaRows[1], lumaRows[2]);
    }
}

void CartoonRows(const Image& blurred, Image& out, float threshold, float levels, int y0, int y1) {
    CartoonRowsBody(blurred, out, threshold, levels, y0, y1);
}
#if LUMETRA_HAS_AVX2_VARIANT
LUMETRA_TARGET_AVX2 void CartoonRowsAvx2(const Image& blurred, Image& out, float threshold,
                                         float levels, int y0, int y1) {
    CartoonRowsBody(blurred, out, threshold, levels, y0, y1);
}
#else
void CartoonRowsAvx2(const Image& blurred, Image& out, float threshold, float levels, int y0,
                     int y1) {
    CartoonRowsBody(blurred, out, threshold, levels, y0, y1);
}
#endif

}  // namespace

Image ImageTools::VignetteImage(const Image& image, float offset) {
    if (image.isEmpty() || !fx::AllFinite(offset)) return image;
    const double start = double(offset) + 0.5;
    const double end = double(offset) + 0.75;
    const int w = image.width();
    const int h = image.height();
    // The farthest pixel centre from the middle: below the start, nothing
    // darkens.
    const double far = std::hypot(0.5 - 0.5 / w, 0.5 - 0.5 / h);
    if (start >= far) return image;
    Image out = Image::CreateUninitialised(w, h);
    // The darkening is a smooth step of the distance from the middle in
    // normalised coordinates; computed in single precision, a row of
    // factors at a time, so that both loops run as vector code.
    const float startF = float(start);
    const float invRange = float(1.0 / (end - start));
    const float invW = 1.f / float(w), invH = 1.f / float(h);
    ParallelBands(h, w, [&](int y0, int y1) {
        std::vector<float> scratch(image.isFloat() ? 0 : image.rowFloats());
        std::vector<float> keep(std::size_t(w), 1.f);
        for (int y = y0; y < y1; ++y) {
            const float* src = image.rowAsFloat(y, scratch.data());
            float* dst = out.row(y);
            const float dy = (float(y) + 0.5f) * invH - 0.5f;
            for (int x = 0; x < w; ++x) {
                const float dx = (float(x) + 0.5f) * invW - 0.5f;
                const float t = Clamp01((std::sqrt(dx * dx + dy * dy) - startF) * invRange);
                keep[std::size_t(x)] = 1.f - t * t * (3.f - 2.f * t);
            }
            for (int x = 0; x < w; ++x) {
                const float k = keep[std::size_t(x)];
                const float* p = src + 4 * x;
                float* d = dst + 4 * x;
                d[0] = p[0] * k;
                d[1] = p[1] * k;
                d[2] = p[2] * k;
                d[3] = p[3];
            }
        }
    });
    return out;
}

Image ImageTools::PixelateImage(const Image& image, float fractionalWidthOfAPixel) {
    if (image.isEmpty() || !fx::AllFinite(fractionalWidthOfAPixel)) return image;
    const CellGrid grid(double(fractionalWidthOfAPixel) * image.width(), image.width(),
                        image.height());
    if (grid.columns() == image.width() && grid.rows() == image.height()) return image;
    Image out = Image::CreateUninitialised(image.width(), image.height());
    ForEachCellRow(image, grid, [&](int r, const std::vector<Px>& averages) {
        for (int y = grid.firstRow[std::size_t(r)]; y < grid.firstRow[std::size_t(r) + 1]; ++y) {
            float* dst = out.row(y);
            for (int c = 0; c < grid.columns(); ++c) {
                const Px colour = fx::Unpremultiply(averages[std::size_t(c)]);
                const int x1 = grid.firstColumn[std::size_t(c) + 1];
                for (int x = grid.firstColumn[std::size_t(c)]; x < x1; ++x)
                    StorePx(dst + 4 * x, colour);
            }
        }
    });
    return out;
}

Image ImageTools::HalftoneImage(const Image& image, float fractionalWidthOfAPixel) {
    if (image.isEmpty() || !fx::AllFinite(fractionalWidthOfAPixel)) return image;
    const CellGrid grid(double(fractionalWidthOfAPixel) * image.width(), image.width(),
                        image.height());
    const double side = grid.side;
    Image out = Image::CreateUninitialised(image.width(), image.height());
    ForEachCellRow(image, grid, [&](int r, const std::vector<Px>& averages) {
        // Dot centres sit in the middle of whole cells, also for the cells
        // the picture's right and bottom edges cut short.
        const double cy = (r + 0.5) * side;
        for (int y = grid.firstRow[std::size_t(r)]; y < grid.firstRow[std::size_t(r) + 1]; ++y) {
            float* dst = out.row(y);
            const double dy = y + 0.5 - cy;
            for (int c = 0; c < grid.columns(); ++c) {
                // A transparent cell has no colour: it gets no dot.
                const Px colour = fx::Unpremultiply(averages[std::size_t(c)]);
                const double luma = colour[3] > 0.f ? Clamp01(Luma(colour)) : 1.0;
                const double radius = side * 0.5 * (1.0 - luma);
                // Small dots fade out rather than leaving a grey pixel.
                const double strength = std::min(1.0, 2.0 * radius);
                const double cx = (c + 0.5) * side;
                const int x1 = grid.firstColumn[std::size_t(c) + 1];
                for (int x = grid.firstColumn[std::size_t(c)]; x < x1; ++x) {
                    const double dx = x + 0.5 - cx;
                    const double d = std::sqrt(dx * dx + dy * dy);
                    // Antialiased over one pixel at the dot's edge.
                    const double ink = std::clamp(radius - d + 0.5, 0.0, 1.0) * strength;
                    const float grey = float(1.0 - ink);
                    StorePx(dst + 4 * x, Px{grey, grey, grey, 1.f});
                }
            }
        }
    });
    return out;
}

Image ImageTools::CartoonImage(const Image& image, float blurRadiusInPixels, float threshold,
                               float quantizationLevels) {
    if (image.isEmpty() || !fx::AllFinite(blurRadiusInPixels, threshold, quantizationLevels))
        return image;
    const Image blurred = BlurImage(image, blurRadiusInPixels).toFloat();
    const int w = image.width();
    const int h = image.height();
    Image out = Image::CreateUninitialised(w, h);
    const auto rows = CpuHasAvx2() ? &CartoonRowsAvx2 : &CartoonRows;
    ParallelBands(h, std::int64_t(w) * 4, [&](int y0, int y1) {
        rows(blurred, out, threshold, quantizationLevels, y0, y1);
    });
    return out;
}

}  // namespace lumetra
