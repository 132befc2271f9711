// SPDX-License-Identifier: GPL-3.0-or-later
// Motion and zoom blur: a weighted average along a line through each pixel,
// over four steps either side, with the nine weights joined linearly so that
// every pixel along the line counts (nine far-apart taps would leave nine
// ghost copies of each edge).
//
// Both blurs sample the picture along a family of lines (parallel ones for
// motion, rays from the centre for zoom), one sample per pixel of the
// line's major axis, and keep prefix sums of the samples f(m) and of
// m * f(m) along each line. A weight that is linear in m between two knots
// then costs two lookups per knot, whatever the length of the blur. Each
// pixel lies between two lines of the family and blends their results.
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
using fx::LoadPx;
using fx::Px;

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

View MakeView(const Image& src, Image& dst, Direction direction) {
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
    // prefetcher cannot follow: fetch the pixel some samples ahead.
    constexpr int kAhead = 24;
    for (int t = 0; t < line.count; ++t) {
        const int m = first + t;
        {
            const int ahead = std::clamp(m + kAhead, 0, maxI);
            const double v = std::clamp(std::floor(minorAt0 + slope * (m + kAhead)), 0.0, maxJ);
            __builtin_prefetch(view.src + view.At(ahead, int(v)));
        }
        const int i = std::clamp(m, 0, maxI);
        const double v = minorAt0 + slope * m;
        const double j0f = std::floor(v);
        const float frac = float(v - j0f);
        const int j0 = int(std::clamp(j0f, 0.0, maxJ));
        Px p = fx::Premultiply(LoadPx(view.src + view.At(i, j0)));
        if (frac != 0.f) {
            const int j1 = int(std::clamp(j0f + 1.0, 0.0, maxJ));
            const Px q = fx::Premultiply(LoadPx(view.src + view.At(i, j1)));
            p += (q - p) * frac;
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
        const double* weight = fx::kNineTapWeights;
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
    fx::StorePx(view.dst + view.At(i, j), fx::Unpremultiply(__builtin_convertvector(mixed, Px)));
}

// ---- Motion blur -----------------------------------------------------------

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
        SampleLine(view, c, slope, lo - reach - 1, hi + reach + 1, line);
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
                    WriteBlend(view, i, j, a, b, f);
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

// ---- Zoom blur -------------------------------------------------------------

// Rays from the centre through one quarter of the view: the pixels whose
// major offset U from the centre is positive and at least their minor
// offset V (strictly more for the quarters that give up the diagonals).
// Ray r has slope r / perUnit; a pixel belongs to ray floor(V / U * perUnit)
// and lies between it and the next. U and V are whole or half numbers, so
// the ownership test below is exact.
struct ZoomRays {
    View view;
    double beta;  // step as a share of the distance to the centre
    bool ownsDiagonals;
    double centreI, centreJ;  // the centre in view pixel-index space
    double perUnit;           // rays per unit of slope
    int firstColumn;          // first major index with U > 0
    int firstSample;          // every ray's samples start here
    // Per column from firstColumn: the weights of its pixels' kernel, as
    // bounds relative to firstSample and their coefficients (see Segments),
    // the same on every ray.
    struct Column {
        int t[9];
        double s0[9];
        double s1[9];
        double invTotal;
    };
    std::vector<Column> columns;

    void Prepare() {
        const double lastU = view.sizeI - 1 - centreI;
        firstSample = int(std::floor(std::min(U(firstColumn) * (1.0 - 4.0 * beta),
                                              lastU * (1.0 - 4.0 * beta)) +
                                     centreI)) -
                      1;
        columns.resize(std::size_t(view.sizeI - firstColumn));
        for (int i = firstColumn; i < view.sizeI; ++i) {
            const double step = U(i) * beta;
            const Segments segments(i - 4.0 * step, step);
            Column& c = columns[std::size_t(i - firstColumn)];
            for (int n = 0; n < 9; ++n) {
                c.t[n] = segments.bound[n] - firstSample;
                c.s0[n] = segments.constant[n] + segments.change[n] * firstSample;
                c.s1[n] = segments.change[n];
            }
            c.invTotal = 1.0 / segments.total;
        }
    }

    // The weighted mean over a ray of the pixels in column i. (The ray's
    // samples cover every bound; should rounding ever leave one outside, it
    // is clamped, which only guards memory.)
    LUMETRA_INLINE D4 Mean(const LineSums& line, const Column& c) const {
        D4 acc{};
        if (c.t[0] >= 0 && c.t[8] <= line.count) {  // the bounds rise with n
            for (int n = 0; n < 9; ++n)
                acc += c.s0[n] * line.Sum0(c.t[n]) + c.s1[n] * line.Sum1(c.t[n]);
        } else {
            for (int n = 0; n < 9; ++n) {
                const int at = std::clamp(c.t[n], 0, line.count);
                acc += c.s0[n] * line.Sum0(at) + c.s1[n] * line.Sum1(at);
            }
        }
        return acc * c.invTotal;
    }

    double U(int i) const { return i - centreI; }
    // Twice the offsets from the centre, which are whole numbers.
    long long U2(int i) const { return 2LL * i - (view.sizeI - 1); }
    long long V2(int j) const { return 2LL * j - (view.sizeJ - 1); }

    bool Owns(long long u2, long long v2) const {
        return ownsDiagonals ? std::llabs(v2) <= u2 : std::llabs(v2) < u2;
    }

    LUMETRA_INLINE void Sample(double r, LineSums& line) const {
        const double slope = r / perUnit;
        const double lastU = view.sizeI - 1 - centreI;
        // The ray serves the pixels of rays r - 1 and r, whose slopes lie
        // between those of rays r - 1 and r + 1; beyond the minor extent of
        // the view no pixel follows, and the shallowest slope reaches
        // farthest.
        double endU = lastU;
        const double halfJ = view.sizeJ * 0.5 + 1.5;
        const double shallowest = (r - 1.0 <= 0.0 && r + 1.0 >= 0.0)
                                      ? 0.0
                                      : std::min(std::abs(r - 1.0), std::abs(r + 1.0)) / perUnit;
        if (shallowest > 0.0) endU = std::min(endU, halfJ / shallowest);
        const double high = endU * (1.0 + 4.0 * beta);
        SampleLine(view, centreJ - slope * centreI, slope, firstSample,
                   int(std::ceil(high + centreI)) + 1, line);
    }
};

LUMETRA_INLINE void ZoomBandBody(const ZoomRays& rays, int firstRay, int l0, int l1) {
    const View& view = rays.view;
    LineSums current, next;
    rays.Sample(firstRay + l0, current);
    for (int l = l0; l < l1; ++l) {
        const int r = firstRay + l;
        rays.Sample(r + 1.0, next);
        // In whole numbers: pixel (i, j) belongs to ray r when
        // r U2 <= V2 perUnit < (r + 1) U2, with U2, V2 twice its offsets.
        const long long perUnit = (long long)rays.perUnit;
        const double lower = double(r) / rays.perUnit;
        for (int i = rays.firstColumn; i < view.sizeI; ++i) {
            const long long u2 = rays.U2(i);
            // Past the view's minor extent the ray owns no more pixels.
            if ((r >= 0 && lower * rays.U(i) + rays.centreJ > view.sizeJ) ||
                (r + 1 <= 0 && double(r + 1) / rays.perUnit * rays.U(i) + rays.centreJ < -1.0))
                break;
            // The first row whose V2 perUnit reaches r U2: V2 >= r U2 / perUnit,
            // and V2 = 2 j - (sizeJ - 1).
            const long long low = r * u2;
            const long long v2Min = low >= 0 ? (low + perUnit - 1) / perUnit : -((-low) / perUnit);
            const long long jFirst = (v2Min + view.sizeJ - 1 + 1) / 2;  // ceil of half
            const ZoomRays::Column& column = rays.columns[std::size_t(i - rays.firstColumn)];
            for (int j = int(std::max(0LL, jFirst - 1)); j < view.sizeJ; ++j) {
                const long long scaled = rays.V2(j) * perUnit;
                if (scaled >= (r + 1) * u2) break;
                if (scaled < low || !rays.Owns(u2, rays.V2(j))) continue;
                const double f = double(scaled - low) / double(u2);
                const D4 a = rays.Mean(current, column);
                const D4 b = f > 0.0 ? rays.Mean(next, column) : a;
                WriteBlend(view, i, j, a, b, f);
            }
        }
        std::swap(current, next);
    }
}

void ZoomBand(const ZoomRays& rays, int firstRay, int l0, int l1) {
    ZoomBandBody(rays, firstRay, l0, l1);
}
#if LUMETRA_HAS_AVX2_VARIANT
LUMETRA_TARGET_AVX2 void ZoomBandAvx2(const ZoomRays& rays, int firstRay, int l0, int l1) {
    ZoomBandBody(rays, firstRay, l0, l1);
}
#else
void ZoomBandAvx2(const ZoomRays& rays, int firstRay, int l0, int l1) {
    ZoomBandBody(rays, firstRay, l0, l1);
}
#endif

// The largest zoom step as a share of the distance to the centre (a blur
// size of 100, ten times the panel's largest): beyond it the runs of
// samples, and the time taken, would only grow.
constexpr double kMaxZoomBeta = 1.0;

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
    const MotionLines lines(MakeView(src, out, horizontal ? Direction::Right : Direction::Down),
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

Image ImageTools::ZoomBlurImage(const Image& image, float blurSize) {
    if (image.isEmpty() || !fx::AllFinite(blurSize)) return image;
    const int w = image.width();
    const int h = image.height();
    const double beta = std::min(std::abs(double(blurSize)) / 100.0, kMaxZoomBeta);
    // The farthest pixel moves less than a pixel: nothing to blur.
    if (4.0 * beta * std::hypot(w * 0.5, h * 0.5) < 1.0) return image;
    const Image src = image.toFloat();
    Image out = Image::CreateUninitialised(w, h);
    // The centre pixel of an odd-sized picture samples only itself.
    if (w % 2 == 1 && h % 2 == 1)
        fx::StorePx(out.row(h / 2) + 4 * (w / 2), LoadPx(src.row(h / 2) + 4 * (w / 2)));
    const auto band = CpuHasAvx2() ? &ZoomBandAvx2 : &ZoomBand;
    for (const Direction direction :
         {Direction::Right, Direction::Left, Direction::Down, Direction::Up}) {
        const bool horizontal = direction == Direction::Right || direction == Direction::Left;
        ZoomRays rays{MakeView(src, out, direction), beta, horizontal, 0.0, 0.0, 0.0, 0, 0, {}};
        const View& v = rays.view;
        // Pixel centres sit at whole indices, the centre at half the size.
        rays.centreI = v.sizeI * 0.5 - 0.5;
        rays.centreJ = v.sizeJ * 0.5 - 0.5;
        rays.firstColumn = int(std::floor(rays.centreI)) + 1;
        if (rays.firstColumn >= v.sizeI) continue;
        // Neighbouring rays are at most a pixel apart at the outermost column.
        rays.perUnit = std::max(1.0, std::ceil(v.sizeI - 1 - rays.centreI));
        rays.Prepare();
        const int firstRay = -int(rays.perUnit) - 1;
        ParallelBands(2 * int(rays.perUnit) + 2, std::int64_t(v.sizeI) * 8,
                      [&](int l0, int l1) { band(rays, firstRay, l0, l1); });
    }
    return out;
}

}  // namespace lumetra
