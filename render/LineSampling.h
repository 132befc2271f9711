// SPDX-License-Identifier: GPL-3.0-or-later
// What motion and zoom blur share: a weighted average along a line through
// each pixel, over four steps either side, with the nine weights joined
// linearly so that every pixel along the line counts (nine far-apart taps
// would leave nine ghost copies of each edge).
//
// Both blurs sample the picture along a family of lines (parallel ones for
// motion, rays from the centre for zoom), one sample per pixel of the
// line's major axis, and keep prefix sums of the samples f(m) and of
// m * f(m) along each line. A weight that is linear in m between two knots
// then costs two lookups per knot, whatever the length of the blur. Each
// pixel lies between two lines of the family and blends their results.
#pragma once

#include <algorithm>
#include <cmath>

#include "render/EffectSupport.h"
#include "render/Image.h"

namespace lumetra::fx {

// The picture with its axes renamed: pixel (i, j) of the view, i along the
// major axis, is the picture's pixel at float offset origin + i * stepI +
// j * stepJ (the same offset in the source and in the output).
struct View {
    const float* src;
    float* dst;
    std::ptrdiff_t origin;
    std::ptrdiff_t stepI;
    std::ptrdiff_t stepJ;
    int sizeI;
    int sizeJ;

    std::ptrdiff_t At(int i, int j) const { return origin + i * stepI + j * stepJ; }
};

enum class Direction { Right, Left, Down, Up };

inline View MakeView(const Image& src, Image& dst, Direction direction) {
    const int w = src.width();
    const int h = src.height();
    const std::ptrdiff_t stride = std::ptrdiff_t(src.rowFloats());
    switch (direction) {
        case Direction::Left:
            return View{src.row(0), dst.row(0), 4 * std::ptrdiff_t(w - 1), -4, stride, w, h};
        case Direction::Down:
            return View{src.row(0), dst.row(0), 0, stride, 4, h, w};
        case Direction::Up:
            return View{src.row(0), dst.row(0), stride * (h - 1), -stride, 4, h, w};
        case Direction::Right:
            break;
    }
    return View{src.row(0), dst.row(0), 0, 4, stride, w, h};
}

// Prefix sums of the premultiplied samples along one line of a view, for
// major indices first .. first + count - 1, relative index t = m - first:
// sum0[t] = f(0) + ... + f(t - 1), sum1[t] = 0 f(0) + ... + (t - 1) f(t - 1).
// Double precision: the weights combine sums thousands of times larger
// than their result.
struct LineSums {
    // Both sums of one sample share a cache line: each bound reads one line.
    struct Pair {
        D4 sum0;
        D4 sum1;
    };
    int first = 0;
    int count = 0;
    AlignedArray<Pair> sums;

    LUMETRA_INLINE D4 Sum0(int t) const { return sums[std::size_t(t)].sum0; }
    LUMETRA_INLINE D4 Sum1(int t) const { return sums[std::size_t(t)].sum1; }
};

// Samples the line whose minor coordinate (pixel-index space) at major
// index m is minorAt0 + slope * m, for m in [first, last]. Beyond the
// picture the edge pixels repeat.
LUMETRA_INLINE void SampleLine(const View& view, double minorAt0, double slope, int first, int last,
                               LineSums& line) {
    line.first = first;
    line.count = std::max(0, last - first + 1);
    line.sums.resize(std::size_t(line.count) + 1);
    D4 s0{}, s1{};
    line.sums[0] = {s0, s1};
    const int maxI = view.sizeI - 1;
    const double maxJ = view.sizeJ - 1;
    // A slanted line reaches a new row every few samples, where the memory
    // prefetcher cannot follow: fetch both pixels of the sample some samples
    // ahead (the second lies in the next row when the minor axis is vertical,
    // and was left to miss: 10 % of a zoom blur's time).
    constexpr int kAhead = 24;
    for (int t = 0; t < line.count; ++t) {
        const int m = first + t;
        {
            const int ahead = std::clamp(m + kAhead, 0, maxI);
            const double v = std::clamp(std::floor(minorAt0 + slope * (m + kAhead)), 0.0, maxJ);
            __builtin_prefetch(view.src + view.At(ahead, int(v)));
            __builtin_prefetch(view.src + view.At(ahead, int(std::min(v + 1.0, maxJ))));
        }
        const double v = minorAt0 + slope * m;
        Px p;
        if (m >= 0 && m <= maxI && v >= 0.0 && v < maxJ) {
            // Both taps inside the picture, as for most samples: no clamping.
            const int j0 = int(v);
            const float frac = float(v - j0);
            p = Premultiply(LoadPx(view.src + view.At(m, j0)));
            p += (Premultiply(LoadPx(view.src + view.At(m, j0 + 1))) - p) * frac;
        } else {
            const int i = std::clamp(m, 0, maxI);
            const double j0f = std::floor(v);
            const float frac = float(v - j0f);
            const int j0 = int(std::clamp(j0f, 0.0, maxJ));
            p = Premultiply(LoadPx(view.src + view.At(i, j0)));
            if (frac != 0.f) {
                const int j1 = int(std::clamp(j0f + 1.0, 0.0, maxJ));
                const Px q = Premultiply(LoadPx(view.src + view.At(i, j1)));
                p += (q - p) * frac;
            }
        }
        const D4 f = __builtin_convertvector(p, D4);
        s0 += f;
        s1 += f * double(t);
        line.sums[std::size_t(t) + 1] = {s0, s1};
    }
}

// The piecewise-linear weight of one pixel: knots q0 + n * step (n = 0..8,
// major-index space, step > 0) carrying the nine weights, zero outside.
// Segment n covers the samples m with knot n <= m < knot n + 1 (the last
// also takes a sample on its end knot), each weighted offset[n] + slope[n] m.
// Written per bound instead of per segment (bound n closes segment n - 1
// and opens segment n), the weighted sum of a line's samples is
//   sum over n of (constant[n] + change[n] * first) sum0[t_n] + change[n] sum1[t_n]
// with t_n = bound[n] - first (sum1 counts t from the line's first sample);
// an empty segment cancels out by itself.
struct Segments {
    int bound[9];  // first sample of each segment, and one past the last
    double constant[9];
    double change[9];
    double total;  // sum of all the weights

    LUMETRA_INLINE Segments(double q0, double step) {
        const double* weight = kNineTapWeights;
        const double invStep = 1.0 / step;
        for (int n = 0; n < 9; ++n) {
            const double q = q0 + n * step;
            bound[n] = int(n < 8 ? std::ceil(q) : std::floor(q) + 1.0);
        }
        double offset[10] = {}, slope[10] = {};  // segment n at index n + 1
        total = 0.0;
        for (int n = 0; n < 8; ++n) {
            slope[n + 1] = (weight[n + 1] - weight[n]) * invStep;
            offset[n + 1] = weight[n] - slope[n + 1] * (q0 + n * step);
            const double count = bound[n + 1] - bound[n];
            total +=
                offset[n + 1] * count + slope[n + 1] * count * (bound[n] + bound[n + 1] - 1) * 0.5;
        }
        for (int n = 0; n < 9; ++n) {
            constant[n] = offset[n] - offset[n + 1];
            change[n] = slope[n] - slope[n + 1];
        }
    }
};

LUMETRA_INLINE void WriteBlend(const View& view, int i, int j, D4 a, D4 b, double f) {
    const D4 mixed = f > 0.0 ? a + (b - a) * f : a;
    StorePx(view.dst + view.At(i, j), Unpremultiply(__builtin_convertvector(mixed, Px)));
}

}  // namespace lumetra::fx
