// SPDX-License-Identifier: GPL-3.0-or-later
// Motion blur: a line blur along an angle, integrated densely through
// prefix sums along a family of parallel lines (see LineSampling.h).
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/ImageTools.h"
#include "render/LineSampling.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::D4;
using fx::Direction;
using fx::LineSums;
using fx::Segments;
using fx::View;

// Lines of slope `slope` (minor per major pixel) through the view; line c
// holds the points (m, c + slope m). A pixel (i, j) belongs to line
// floor(j - slope i) and lies between it and the next.
struct MotionLines {
    View view;
    double slope;
    double step;  // knot spacing along the major axis, pixels
    int reach;    // whole pixels the kernel reaches either side
    // The knots sit at the same offsets from every pixel, so the weights
    // are written once as coefficients of the nine segment bounds:
    // sum = sum over b of (a[b] - g[b] * t) sum0[t + o[b]] + g[b] sum1[t + o[b]],
    // with t the pixel's index on the line.
    int o[9];
    double a[9], g[9];
    double invTotal;

    MotionLines(const View& v, double lineSlope, double knotStep)
        : view(v), slope(lineSlope), step(knotStep), reach(int(std::ceil(4.0 * knotStep)) + 1) {
        // The kernel about pixel 0; about pixel i every bound moves by i and
        // the weight of sample m is the same function of m - i.
        const Segments segments(-4.0 * step, step);
        for (int n = 0; n < 9; ++n) {
            o[n] = segments.bound[n];
            a[n] = segments.constant[n];
            g[n] = segments.change[n];
        }
        invTotal = 1.0 / segments.total;
    }

    double Owner(int i, int j) const { return std::floor(j - slope * i); }

    // Major indices of the pixels belonging to lines c - 1 and c.
    bool PixelRange(double c, int& lo, int& hi) const {
        double first = 0.0, last = view.sizeI - 1.0;
        if (slope != 0.0) {
            // -c - 1 < slope * i <= sizeJ - c for some row j of the view.
            double i0 = (-c - 2.0) / slope, i1 = (view.sizeJ + 1.0 - c) / slope;
            if (i0 > i1) std::swap(i0, i1);
            first = std::max(first, std::floor(i0));
            last = std::min(last, std::ceil(i1));
        } else if (c < -1.0 || c > view.sizeJ + 1.0) {
            return false;
        }
        if (first > last) return false;
        lo = int(first);
        hi = int(last);
        return true;
    }

    LUMETRA_INLINE void Sample(double c, LineSums& line) const {
        int lo = 0, hi = -1;
        if (!PixelRange(c, lo, hi)) {
            line.count = 0;
            return;
        }
        fx::SampleLine(view, c, slope, lo - reach - 1, hi + reach + 1, line);
    }

    // The weighted mean about major index i on a line that covers it.
    // (The sample range covers every bound; should rounding ever leave one
    // outside, it is clamped, which only guards memory.)
    LUMETRA_INLINE D4 Mean(const LineSums& line, int i) const {
        const int t = i - line.first;
        D4 acc{};
        if (t + o[0] >= 0 && t + o[8] <= line.count) {  // the bounds rise with n
            for (int n = 0; n < 9; ++n)
                acc += (a[n] - g[n] * t) * line.Sum0(t + o[n]) + g[n] * line.Sum1(t + o[n]);
        } else {
            for (int n = 0; n < 9; ++n) {
                const int at = std::clamp(t + o[n], 0, line.count);
                acc += (a[n] - g[n] * t) * line.Sum0(at) + g[n] * line.Sum1(at);
            }
        }
        return acc * invTotal;
    }
};

LUMETRA_INLINE void MotionBandBody(const MotionLines& lines, double firstLine, int l0, int l1) {
    const View& view = lines.view;
    if (lines.slope == 0.0) {
        // Along the rows (or the columns): line c is row c of the view, and
        // each of its pixels lies on it, with nothing to blend from the next.
        LineSums line;
        for (int l = l0; l < l1; ++l) {
            const double c = firstLine + l;
            int lo = 0, hi = -1;
            if (c < 0.0 || c >= view.sizeJ || !lines.PixelRange(c, lo, hi)) continue;
            lines.Sample(c, line);
            if (line.count == 0) continue;
            const int j = int(c);
            for (int i = lo; i <= hi; ++i) {
                const D4 a = lines.Mean(line, i);
                fx::WriteBlend(view, i, j, a, a, 0.0);
            }
        }
        return;
    }
    LineSums current, next;
    lines.Sample(firstLine + l0, current);
    for (int l = l0; l < l1; ++l) {
        const double c = firstLine + l;
        lines.Sample(c + 1.0, next);
        int lo = 0, hi = -1;
        if (current.count > 0 && lines.PixelRange(c, lo, hi)) {
            for (int i = lo; i <= hi; ++i) {
                const double centre = c + lines.slope * i;
                const int j0 = std::max(0, int(std::ceil(centre)) - 1);
                const int j1 = std::min(view.sizeJ - 1, int(std::ceil(centre)) + 1);
                for (int j = j0; j <= j1; ++j) {
                    if (lines.Owner(i, j) != c) continue;
                    const double f = (j - lines.slope * i) - c;
                    const D4 a = lines.Mean(current, i);
                    const D4 b = f > 0.0 && next.count > 0 ? lines.Mean(next, i) : a;
                    fx::WriteBlend(view, i, j, a, b, f);
                }
            }
        }
        std::swap(current, next);
    }
}

void MotionBand(const MotionLines& lines, double firstLine, int l0, int l1) {
    MotionBandBody(lines, firstLine, l0, l1);
}
#if LUMETRA_HAS_AVX2_VARIANT
LUMETRA_TARGET_AVX2 void MotionBandAvx2(const MotionLines& lines, double firstLine, int l0,
                                        int l1) {
    MotionBandBody(lines, firstLine, l0, l1);
}
#else
void MotionBandAvx2(const MotionLines& lines, double firstLine, int l0, int l1) {
    MotionBandBody(lines, firstLine, l0, l1);
}
#endif

}  // namespace

Image ImageTools::MotionBlurImage(const Image& image, float blurSize, float blurAngle) {
    if (image.isEmpty() || !fx::AllFinite(blurSize, blurAngle)) return image;
    const int w = image.width();
    const int h = image.height();
    // The step in pixels, at most the picture's width and height together:
    // beyond that every sample is an edge pixel anyway.
    const double size = std::min(double(w) + h, std::abs(double(blurSize)) * h / w);
    const double radians = double(blurAngle) * M_PI / 180.0;
    // Screen y points down: a positive angle turns clockwise as seen.
    const double dx = std::cos(radians);
    const double dy = std::sin(radians);
    const bool horizontal = std::abs(dx) >= std::abs(dy);
    const double step = size * (horizontal ? std::abs(dx) : std::abs(dy));
    // Shorter than a pixel either way: no other pixel is reached.
    if (4.0 * step < 1.0) return image;
    const Image src = image.toFloat();
    Image out = Image::CreateUninitialised(w, h);
    const MotionLines lines(fx::MakeView(src, out, horizontal ? Direction::Right : Direction::Down),
                            horizontal ? dy / dx : dx / dy, step);
    // Lines from the smallest to the largest owner of a pixel.
    const View& v = lines.view;
    const double corners[4] = {lines.Owner(0, 0), lines.Owner(v.sizeI - 1, 0),
                               lines.Owner(0, v.sizeJ - 1), lines.Owner(v.sizeI - 1, v.sizeJ - 1)};
    const double first = *std::min_element(corners, corners + 4);
    const double last = *std::max_element(corners, corners + 4);
    const auto band = CpuHasAvx2() ? &MotionBandAvx2 : &MotionBand;
    ParallelBands(int(last - first) + 1, std::int64_t(v.sizeI) * 24,
                  [&](int l0, int l1) { band(lines, first, l0, l1); });
    return out;
}

}  // namespace lumetra
