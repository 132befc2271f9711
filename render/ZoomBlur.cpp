// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom blur: a line blur towards the centre, integrated densely through
// prefix sums along rays from the centre (see LineSampling.h).
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
    double centreI;  // the centre in view pixel-index space
    double centreJ;
    double perUnit;   // rays per unit of slope
    int firstColumn;  // the ring of columns these rays serve
    int lastColumn;
    int firstSample = 0;  // every ray's samples start here
    // Per column from firstColumn: the weights of its pixels' kernel, as
    // bounds relative to firstSample and their coefficients (see Segments),
    // the same on every ray.
    struct Column {
        int t[9];
        double s0[9];
        double s1[9];
        double invTotal;
    };
    std::vector<Column> columns = {};

    void Prepare() {
        firstSample = int(std::floor(std::min(U(firstColumn) * (1.0 - 4.0 * beta),
                                              U(lastColumn) * (1.0 - 4.0 * beta)) +
                                     centreI)) -
                      1;
        columns.resize(std::size_t(lastColumn - firstColumn + 1));
        for (int i = firstColumn; i <= lastColumn; ++i) {
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
        const double lastU = U(lastColumn);
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
        fx::SampleLine(view, centreJ - slope * centreI, slope, firstSample,
                       int(std::ceil(high + centreI)) + 1, line);
    }
};

LUMETRA_INLINE void ZoomBandBody(const ZoomRays& rays, int firstRay, int l0, int l1) {
    const View& view = rays.view;
    LineSums current, next;
    rays.Sample(firstRay + l0, current);
    // A column's mean on the next ray, kept for that ray's own pixels in the
    // same column: far out, where most pixels are, neighbouring rays each
    // own a pixel of nearly every column, and the mean serves both.
    const std::size_t columns = rays.columns.size();
    fx::AlignedArray<D4> nextMean;
    nextMean.resize(columns);
    std::vector<int> nextMeanRay(columns, firstRay + l0 - 1);  // none kept yet
    for (int l = l0; l < l1; ++l) {
        const int r = firstRay + l;
        rays.Sample(r + 1.0, next);
        // In whole numbers: pixel (i, j) belongs to ray r when
        // r U2 <= V2 perUnit < (r + 1) U2, with U2, V2 twice its offsets.
        const long long perUnit = (long long)rays.perUnit;
        const double lower = double(r) / rays.perUnit;
        for (int i = rays.firstColumn; i <= rays.lastColumn; ++i) {
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
            const std::size_t c = std::size_t(i - rays.firstColumn);
            const ZoomRays::Column& column = rays.columns[c];
            for (int j = int(std::max(0LL, jFirst - 1)); j < view.sizeJ; ++j) {
                const long long scaled = rays.V2(j) * perUnit;
                if (scaled >= (r + 1) * u2) break;
                if (scaled < low || !rays.Owns(u2, rays.V2(j))) continue;
                const double f = double(scaled - low) / double(u2);
                const D4 a = nextMeanRay[c] == r ? nextMean[c] : rays.Mean(current, column);
                D4 b = a;
                if (f > 0.0) {
                    b = rays.Mean(next, column);
                    nextMean[c] = b;
                    nextMeanRay[c] = r + 1;
                }
                fx::WriteBlend(view, i, j, a, b, f);
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

// Columns this near the centre (in pixels) share one ring.
constexpr double kInnermostRing = 16.0;

}  // namespace

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
        fx::StorePx(out.row(h / 2) + 4 * (w / 2), fx::LoadPx(src.row(h / 2) + 4 * (w / 2)));
    const auto band = CpuHasAvx2() ? &ZoomBandAvx2 : &ZoomBand;
    for (const Direction direction :
         {Direction::Right, Direction::Left, Direction::Down, Direction::Up}) {
        const bool horizontal = direction == Direction::Right || direction == Direction::Left;
        const View view = fx::MakeView(src, out, direction);
        // Pixel centres sit at whole indices, the centre at half the size.
        const double centreI = view.sizeI * 0.5 - 0.5;
        const int nearest = int(std::floor(centreI)) + 1;  // the first column with U > 0
        // Rings of columns, each reaching half as far from the centre as the
        // one outside it, with half as many rays: neighbouring rays stay at
        // most a pixel apart at every ring's outer column, and no ray is
        // sampled far inside the pixels it serves.
        for (int last = view.sizeI - 1; last >= nearest;) {
            const double outerU = last - centreI;
            const int first = outerU > kInnermostRing
                                  ? std::max(nearest, int(std::floor(centreI + outerU * 0.5)) + 1)
                                  : nearest;
            ZoomRays rays{.view = view,
                          .beta = beta,
                          .ownsDiagonals = horizontal,
                          .centreI = centreI,
                          .centreJ = view.sizeJ * 0.5 - 0.5,
                          .perUnit = std::max(1.0, std::ceil(outerU)),
                          .firstColumn = first,
                          .lastColumn = last};
            rays.Prepare();
            const int firstRay = -int(rays.perUnit) - 1;
            ParallelBands(2 * int(rays.perUnit) + 2, std::int64_t(last - first + 1) * 8,
                          [&](int l0, int l1) { band(rays, firstRay, l0, l1); });
            last = first - 1;
        }
    }
    return out;
}

}  // namespace lumetra
