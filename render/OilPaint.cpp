// SPDX-License-Identifier: GPL-3.0-or-later
// Oil painting: the Kuwahara filter. Around each pixel lie four square
// quadrants of (R + 1) x (R + 1) pixels that share the pixel's row and
// column; the pixel takes the mean colour of the quadrant whose red, green
// and blue vary least. Quadrant sums come from a summed-area table streamed
// row by row: column sums over R + 1 rows, updated by one entering and one
// leaving row per step, and their prefix sums along the row, so the cost per
// pixel is the same at any radius and only a few rows are held.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::AlignedArray;
using fx::D4;

// Variances closer than this count as equal, so that the earlier quadrant
// wins a tie whatever the rounding of the running sums (about 1e-13 here);
// one pixel a grey level off in a quadrant of 32 x 32 changes the variance
// by about 1e-8.
constexpr double kTie = 1e-10;

// Per column, or per box: sums of premultiplied red, green, blue and alpha,
// and of the squared premultiplied red, green and blue.
struct Sums {
    AlignedArray<D4> colour;
    std::vector<double> squares;
    void reset(std::size_t n) {
        colour.assign(n, D4{});
        squares.assign(n, 0.0);
    }
};

class Kuwahara {
  public:
    Kuwahara(const Image& image, int radius)
        : image_(image), w_(image.width()), h_(image.height()), r_(radius) {}

    // The rows y0 .. y1 - 1; with AVX2 when the processor has it (the four
    // doubles of a colour sum then fit one register).
    void Band(Image& out, int y0, int y1) const {
        if (CpuHasAvx2())
            BandAvx2(out, y0, y1);
        else
            BandBaseline(out, y0, y1);
    }

  private:
    void BandBaseline(Image& out, int y0, int y1) const { BandBody(out, y0, y1); }
#if LUMETRA_HAS_AVX2_VARIANT
    LUMETRA_TARGET_AVX2 void BandAvx2(Image& out, int y0, int y1) const {
        BandBody(out, y0, y1);
    }
#else
    void BandAvx2(Image& out, int y0, int y1) const {
        BandBody(out, y0, y1);
    }
#endif

    LUMETRA_INLINE void BandBody(Image& out, int y0, int y1) const {
        Scratch scratch;
        for (std::vector<float>& rowScratch : scratch)
            rowScratch.resize(image_.isFloat() ? 0 : image_.rowFloats());
        // Column sums over the rows of the quadrants above (y - R .. y) and
        // below (y .. y + R) the current row, edge rows repeated.
        Sums up, down, upBoxes, downBoxes;
        up.reset(std::size_t(w_));
        down.reset(std::size_t(w_));
        for (int v = y0 - r_; v <= y0; ++v) AddRow(up, v, scratch[0]);
        for (int v = y0; v <= y0 + r_; ++v) AddRow(down, v, scratch[0]);
        for (int y = y0; y < y1; ++y) {
            if (y > y0) Slide(up, down, y, scratch);
            Prefix(up, upBoxes);
            Prefix(down, downBoxes);
            Choose(upBoxes, downBoxes, RowAt(y, scratch[0]), out.row(y));
        }
    }

    using Scratch = std::vector<float>[4];

    // Row y of the picture as floats, edge rows repeated.
    LUMETRA_INLINE const float* RowAt(int y, std::vector<float>& scratch) const {
        return image_.rowAsFloat(std::clamp(y, 0, h_ - 1), scratch.data());
    }

    // A pixel's premultiplied colour, and the sum of its squared red, green
    // and blue.
    LUMETRA_INLINE static D4 Colour(const float* row, int x) {
        return __builtin_convertvector(fx::Premultiply(fx::LoadPx(row + 4 * x)), D4);
    }
    LUMETRA_INLINE static double Square(D4 v) {
        return v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    }

    LUMETRA_INLINE void AddRow(Sums& columns, int y, std::vector<float>& scratch) const {
        const float* src = RowAt(y, scratch);
        for (int x = 0; x < w_; ++x) {
            const D4 v = Colour(src, x);
            columns.colour[std::size_t(x)] += v;
            columns.squares[std::size_t(x)] += Square(v);
        }
    }

    // Moves both windows one row down in one walk along the row: the rows
    // above the pixel gain row y and lose row y - R - 1, the rows below gain
    // row y + R and lose row y - 1. Each sum gains before it loses, as when
    // the rows were added and taken away one at a time.
    LUMETRA_INLINE void Slide(Sums& up, Sums& down, int y, Scratch& scratch) const {
        const float* upIn = RowAt(y, scratch[0]);
        const float* upOut = RowAt(y - r_ - 1, scratch[1]);
        const float* downIn = RowAt(y + r_, scratch[2]);
        const float* downOut = RowAt(y - 1, scratch[3]);
        for (int x = 0; x < w_; ++x) {
            const std::size_t i = std::size_t(x);
            const D4 a = Colour(upIn, x), b = Colour(upOut, x);
            up.colour[i] = (up.colour[i] + a) - b;
            up.squares[i] = (up.squares[i] + Square(a)) - Square(b);
            const D4 c = Colour(downIn, x), d = Colour(downOut, x);
            down.colour[i] = (down.colour[i] + c) - d;
            down.squares[i] = (down.squares[i] + Square(c)) - Square(d);
        }
    }

    // Prefix sums of the column sums along the row, edge columns repeated R
    // times either side: boxes[p] sums padded columns 0 .. p - 1, so the box
    // of columns a .. b (picture coordinates) is boxes[b + R + 1] - boxes[a + R].
    LUMETRA_INLINE void Prefix(const Sums& columns, Sums& boxes) const {
        const std::size_t n = std::size_t(w_ + 2 * r_);
        boxes.colour.resize(n + 1);
        boxes.squares.resize(n + 1);
        D4 colour{};
        double squares = 0.0;
        boxes.colour[0] = colour;
        boxes.squares[0] = squares;
        for (std::size_t p = 0; p < n; ++p) {
            const std::size_t x = std::size_t(std::clamp(int(p) - r_, 0, w_ - 1));
            colour += columns.colour[x];
            squares += columns.squares[x];
            boxes.colour[p + 1] = colour;
            boxes.squares[p + 1] = squares;
        }
    }

    LUMETRA_INLINE void Choose(const Sums& up, const Sums& down, const float* src,
                               float* dst) const {
        const double inv = 1.0 / (double(r_ + 1) * double(r_ + 1));
        const std::size_t r = std::size_t(r_);
        for (int x = 0; x < w_; ++x) {
            // Columns x - R .. x run from padded index x to x + R, columns
            // x .. x + R from x + R to x + 2R.
            const std::size_t left = std::size_t(x), middle = left + r, right = middle + r;
            // Up-left, up-right, down-right, down-left: on a tie the earlier wins.
            const D4 colours[4] = {up.colour[middle + 1] - up.colour[left],
                                   up.colour[right + 1] - up.colour[middle],
                                   down.colour[right + 1] - down.colour[middle],
                                   down.colour[middle + 1] - down.colour[left]};
            const D4 squares = {up.squares[middle + 1] - up.squares[left],
                                up.squares[right + 1] - up.squares[middle],
                                down.squares[right + 1] - down.squares[middle],
                                down.squares[middle + 1] - down.squares[left]};
            // The four quadrants' red, green and blue side by side, so that
            // their variances come out of one set of vector operations.
            const D4 redBlue01 = __builtin_shufflevector(colours[0], colours[1], 0, 4, 2, 6);
            const D4 green01 = __builtin_shufflevector(colours[0], colours[1], 1, 5, 3, 7);
            const D4 redBlue23 = __builtin_shufflevector(colours[2], colours[3], 0, 4, 2, 6);
            const D4 green23 = __builtin_shufflevector(colours[2], colours[3], 1, 5, 3, 7);
            const D4 red = __builtin_shufflevector(redBlue01, redBlue23, 0, 1, 4, 5) * inv;
            const D4 green = __builtin_shufflevector(green01, green23, 0, 1, 4, 5) * inv;
            const D4 blue = __builtin_shufflevector(redBlue01, redBlue23, 2, 3, 6, 7) * inv;
            const D4 variance = squares * inv - (red * red + green * green + blue * blue);
            // Chosen by selects, not branches: which quadrant wins follows
            // the picture and cannot be predicted.
            int best = 0;
            double bestVariance = variance[0];
            for (int q = 1; q < 4; ++q) {
                const bool lower = variance[q] < bestVariance - kTie;
                best = lower ? q : best;
                bestVariance = lower ? variance[q] : bestVariance;
            }
            const D4 sum = colours[best];
            fx::Px colour{};
            if (sum[3] > 0.0)
                colour = simd::Clamp01(__builtin_convertvector(sum * (1.0 / sum[3]), fx::Px));
            colour[3] = src[4 * x + 3];
            fx::StorePx(dst + 4 * x, colour);
        }
    }

    const Image& image_;
    const int w_;
    const int h_;
    const int r_;
};

}  // namespace

int ImageTools::OilPaintPixelRadius(unsigned radius, int width) {
    // The brush was one sample step of 1/768 of the width: it grows with the
    // picture, never below one pixel per unit.
    const double scale = std::max(1.0, double(width) / 768.0);
    return int(std::min(std::round(double(radius) * scale), double(1 << 20)));
}

Image ImageTools::OilPaintImage(const Image& image, unsigned radius) {
    if (image.isEmpty()) return image;
    // Capped at the picture's larger side, which keeps the padded rows small;
    // the brush then already spans the whole picture.
    const int r = std::min(OilPaintPixelRadius(radius, image.width()),
                           std::max(image.width(), image.height()));
    if (r <= 0) return image;
    Image out = Image::CreateUninitialised(image.width(), image.height());
    const Kuwahara kuwahara(image, r);
    ParallelBands(image.height(), std::int64_t(image.width()) * 8,
                  [&](int y0, int y1) { kuwahara.Band(out, y0, y1); });
    return out;
}

}  // namespace lumetra
