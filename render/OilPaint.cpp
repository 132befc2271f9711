// SPDX-License-Identifier: GPL-3.0-or-later
// Oil painting: the Kuwahara filter. Around each pixel lie four square
// quadrants of (R + 1) x (R + 1) pixels that share the pixel's row and
// column; the pixel takes the mean colour of the quadrant whose red, green
// and blue vary least. Quadrant sums come from a summed-area table streamed
// row by row: running sums of (R + 1)-pixel row segments, summed again down
// R + 1 rows and updated by one entering and one leaving row per step, so
// the cost per pixel is the same at any radius and only a few rows are held.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::AlignedArray;
using fx::D4;

// Sums of one box: premultiplied red, green, blue and alpha, and the sum
// of the squared premultiplied red, green and blue.
struct BoxSums {
    AlignedArray<D4> colour;
    std::vector<double> squares;
    void resize(std::size_t n) {
        colour.assign(n, D4{});
        squares.assign(n, 0.0);
    }
};

class Kuwahara {
public:
    Kuwahara(const Image& image, int radius)
        : image_(image), w_(image.width()), h_(image.height()), r_(radius) {}

    void Band(Image& out, int y0, int y1) const {
        std::vector<float> scratch(image_.isFloat() ? 0 : image_.rowFloats());
        // Column sums of the quadrants above (rows y - R .. y) and below
        // (rows y .. y + R) the current row, for every (R + 1)-wide segment:
        // entry x covers columns x - R .. x of the picture.
        BoxSums up, down;
        up.resize(std::size_t(w_ + r_));
        down.resize(std::size_t(w_ + r_));
        Row rowA, rowB;
        for (int v = y0 - r_; v <= y0; ++v) Update(up, v, v, false, rowA, rowB, scratch);
        for (int v = y0; v <= y0 + r_; ++v) Update(down, v, v, false, rowA, rowB, scratch);
        for (int y = y0; y < y1; ++y) {
            if (y > y0) {
                Update(up, y, y - r_ - 1, true, rowA, rowB, scratch);
                Update(down, y + r_, y - 1, true, rowA, rowB, scratch);
            }
            Choose(up, down, image_.rowAsFloat(y, scratch.data()), out.row(y));
        }
    }

private:
    // Prefix sums of one picture row with its edge pixels repeated R times
    // on either side.
    struct Row {
        AlignedArray<D4> colour;
        std::vector<double> squares;
    };

    void PrefixRow(int y, Row& row, std::vector<float>& scratch) const {
        const float* src = image_.rowAsFloat(std::clamp(y, 0, h_ - 1), scratch.data());
        const int n = w_ + 2 * r_;
        row.colour.resize(std::size_t(n) + 1);
        row.squares.resize(std::size_t(n) + 1);
        D4 colour{};
        double squares = 0.0;
        row.colour[0] = colour;
        row.squares[0] = 0.0;
        for (int p = 0; p < n; ++p) {
            const int x = std::clamp(p - r_, 0, w_ - 1);
            const fx::Px px = fx::Premultiply(fx::LoadPx(src + 4 * x));
            const D4 v = __builtin_convertvector(px, D4);
            colour += v;
            squares += v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
            row.colour[std::size_t(p) + 1] = colour;
            row.squares[std::size_t(p) + 1] = squares;
        }
    }

    // Adds the segment sums of row `enter` and, when `leave` is set, takes
    // away those of row `leaving`.
    void Update(BoxSums& box, int enter, int leaving, bool leave, Row& a, Row& b,
                std::vector<float>& scratch) const {
        PrefixRow(enter, a, scratch);
        if (leave) PrefixRow(leaving, b, scratch);
        const std::size_t span = std::size_t(r_) + 1;
        for (std::size_t x = 0; x < box.colour.size(); ++x) {
            D4 colour = a.colour[x + span] - a.colour[x];
            double squares = a.squares[x + span] - a.squares[x];
            if (leave) {
                colour -= b.colour[x + span] - b.colour[x];
                squares -= b.squares[x + span] - b.squares[x];
            }
            box.colour[x] += colour;
            box.squares[x] += squares;
        }
    }

    void Choose(const BoxSums& up, const BoxSums& down, const float* src, float* dst) const {
        const double inv = 1.0 / (double(r_ + 1) * double(r_ + 1));
        for (int x = 0; x < w_; ++x) {
            const std::size_t left = std::size_t(x);        // columns x - R .. x
            const std::size_t right = left + std::size_t(r_);  // columns x .. x + R
            // Up-left, up-right, down-right, down-left: on a tie the earlier wins.
            const D4* colours[4] = {&up.colour[left], &up.colour[right], &down.colour[right],
                                    &down.colour[left]};
            const double squares[4] = {up.squares[left], up.squares[right], down.squares[right],
                                       down.squares[left]};
            int best = 0;
            double bestVariance = 0.0;
            for (int q = 0; q < 4; ++q) {
                const D4 mean = *colours[q] * inv;
                const double variance = squares[q] * inv - (mean[0] * mean[0] +
                                                            mean[1] * mean[1] + mean[2] * mean[2]);
                if (q == 0 || variance < bestVariance) {
                    best = q;
                    bestVariance = variance;
                }
            }
            const D4 sum = *colours[best];
            float* d = dst + 4 * x;
            if (sum[3] > 0.0) {
                const double invAlpha = 1.0 / sum[3];
                for (int k = 0; k < 3; ++k) d[k] = Clamp01(float(sum[k] * invAlpha));
            } else {
                d[0] = d[1] = d[2] = 0.f;
            }
            d[3] = src[4 * x + 3];
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
    // Past the picture's larger side a bigger radius changes nothing.
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
