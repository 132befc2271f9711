// SPDX-License-Identifier: GPL-3.0-or-later
// The 3D transform: the picture as a flat quad in space, projected through
// a 4 x 4 matrix. The quad lies in z = 0, so the projection is a plane
// homography; each output pixel is mapped back through its inverse, which is
// exact and perspective-correct.
//
// Along an output row the inverse map is a ratio of two linear functions of
// the column: source x = X / S, source y = Y / S. X, Y and S are evaluated
// in double precision at the start of every block of columns and stepped in
// single precision inside it, so the moved point of every pixel costs a few
// float operations and one division. With AVX2 eight pixels are sampled at
// a time with gathers (WarpAvx2.h), as rotation, swirl and glass sphere do;
// elsewhere the points of a block are computed in a loop the compiler
// vectorises and sampled one by one. Matrices whose map does not fit in
// floats (cells near the limits of double) take the per-pixel double path.
#include <algorithm>
#include <cmath>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/Sampling.h"
#include "render/WarpAvx2.h"

namespace lumetra {
namespace {

// Positions within a millionth of a pixel centre are taken as on it, so
// that moves by whole pixels copy the pixels exactly despite rounding.
inline double SnapToPixel(double p) {
    const double nearest = std::round(p);
    return std::abs(p - nearest) < 1e-6 ? nearest : p;
}

// The same for positions computed in single precision, whose rounding on a
// picture thousands of pixels wide is a few ten-thousandths of a pixel:
// within 1/1024 of a pixel centre counts as on it. (A bilinear sample moves
// by at most that share of a grey step, far below what 8 bits show.)
constexpr float kFloatSnap = 1.f / 1024.f;

// The 3 x 3 matrix that maps [x y 1] of the quad to [X Y w] (row vectors),
// and its inverse.
struct Homography {
    double m[3][3];

    bool Invert(Homography& inverse) const {
        const double a = m[0][0], b = m[0][1], c = m[0][2];
        const double d = m[1][0], e = m[1][1], f = m[1][2];
        const double g = m[2][0], h = m[2][1], i = m[2][2];
        const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
        if (!std::isfinite(det) || std::abs(det) < 1e-300) return false;
        const double k = 1.0 / det;
        inverse.m[0][0] = (e * i - f * h) * k;
        inverse.m[0][1] = (c * h - b * i) * k;
        inverse.m[0][2] = (b * f - c * e) * k;
        inverse.m[1][0] = (f * g - d * i) * k;
        inverse.m[1][1] = (a * i - c * g) * k;
        inverse.m[1][2] = (c * d - a * f) * k;
        inverse.m[2][0] = (d * h - e * g) * k;
        inverse.m[2][1] = (b * g - a * h) * k;
        inverse.m[2][2] = (a * e - b * d) * k;
        return true;
    }
};

// The inverse map in output pixel-index space: for output pixel (x, y),
// X = cx[0] x + cx[1] y + cx[2], likewise Y and S, and the source point
// (pixel-index space) is (X / S, Y / S), shown only where S > 0 (in front of
// the viewer). All three are scaled by one positive factor, so that S is at
// most 1 over the picture.
struct PixelMap {
    double cx[3], cy[3], cs[3];

    // X, Y and S at (x, y), in double precision.
    void At(double x, double y, double* X, double* Y, double* S) const {
        *X = cx[0] * x + cx[1] * y + cx[2];
        *Y = cy[0] * x + cy[1] * y + cy[2];
        *S = cs[0] * x + cs[1] * y + cs[2];
    }
};

// The map of `inverse` on a w x h picture, false when it does not fit in
// single precision: a step or a corner value beyond 1e30, or S zero on the
// whole picture.
bool MakePixelMap(const Homography& inverse, int w, int h, PixelMap* map) {
    const double aspect = double(h) / double(w);
    // a = 2 (x + 0.5) / w - 1 and b = (2 (y + 0.5) / h - 1) aspect give
    // [qx qy qs] = [a b 1] inverse; the source point is
    // ((qx / qs + 1) w / 2 - 0.5, (qy / qs / aspect + 1) h / 2 - 0.5).
    const double ax = 2.0 / w, a0 = 1.0 / w - 1.0;
    const double by = 2.0 / h * aspect, b0 = (1.0 / h - 1.0) * aspect;
    const double half = 0.5 * w, offsetX = 0.5 * w - 0.5, offsetY = 0.5 * h - 0.5;
    double lx[3], ly[3], ls[3];  // per row of the inverse: a, b, 1
    for (int i = 0; i < 3; ++i) {
        lx[i] = inverse.m[i][0] * half + inverse.m[i][2] * offsetX;
        ly[i] = inverse.m[i][1] * half + inverse.m[i][2] * offsetY;  // h / 2 / aspect = w / 2
        ls[i] = inverse.m[i][2];
    }
    auto fill = [&](const double* l, double* c) {
        c[0] = l[0] * ax;
        c[1] = l[1] * by;
        c[2] = l[0] * a0 + l[1] * b0 + l[2];
    };
    fill(lx, map->cx);
    fill(ly, map->cy);
    fill(ls, map->cs);
    double largest = 0.0;
    for (const double x : {0.0, double(w - 1)})
        for (const double y : {0.0, double(h - 1)}) {
            double X, Y, S;
            map->At(x, y, &X, &Y, &S);
            largest = std::max(largest, std::abs(S));
        }
    if (!(largest > 0.0) || !std::isfinite(largest)) return false;
    const double scale = 1.0 / largest;
    for (double* c : {map->cx, map->cy, map->cs})
        for (int i = 0; i < 3; ++i) c[i] *= scale;
    constexpr double kLimit = 1e30;
    for (const double x : {0.0, double(w - 1)})
        for (const double y : {0.0, double(h - 1)}) {
            double X, Y, S;
            map->At(x, y, &X, &Y, &S);
            if (!(std::abs(X) < kLimit && std::abs(Y) < kLimit && std::abs(S) < kLimit))
                return false;
        }
    for (const double* c : {map->cx, map->cy, map->cs})
        if (!(std::abs(c[0]) < kLimit)) return false;
    return true;
}

// Source points of `count` (at most kColumnBlock) pixels of row y from
// column x0, as the samplers read them: positions cut to just beyond the
// picture, and -2 (outside, transparent) behind the viewer.
struct BlockPoints {
    alignas(64) float sx[fx::kColumnBlock];
    alignas(64) float sy[fx::kColumnBlock];
};

LUMETRA_INLINE void ComputePoints(const PixelMap& map, int w, int h, int x0, int y, int count,
                                  BlockPoints& points) {
    double X0, Y0, S0;
    map.At(x0, y, &X0, &Y0, &S0);
    const float x0f = float(X0), y0f = float(Y0), s0f = float(S0);
    const float dx = float(map.cx[0]), dy = float(map.cy[0]), ds = float(map.cs[0]);
    const float highX = float(w) + 1.f, highY = float(h) + 1.f;
    for (int i = 0; i < count; ++i) {
        const float step = float(i);
        const float X = x0f + dx * step;
        const float Y = y0f + dy * step;
        const float S = s0f + ds * step;
        const float inv = 1.f / S;
        float px = X * inv;
        float py = Y * inv;
        // Cut to -2 .. size + 1 (NaN too becomes -2), then snapped; 2.5
        // keeps the truncation a floor.
        px = px > -2.f ? px : -2.f;
        px = px < highX ? px : highX;
        py = py > -2.f ? py : -2.f;
        py = py < highY ? py : highY;
        const float nx = float(int(px + 2.5f)) - 2.f;
        const float ny = float(int(py + 2.5f)) - 2.f;
        px = std::abs(px - nx) < kFloatSnap ? nx : px;
        py = std::abs(py - ny) < kFloatSnap ? ny : py;
        // Behind the viewer (or on the horizon): not drawn.
        const bool front = S > 0.f;
        points.sx[i] = front ? px : -2.f;
        points.sy[i] = front ? py : -2.f;
    }
}

// Rows y0 .. y1 - 1, one pixel at a time after the points of a block.
template <class Pixels>
void TransformRows(const Pixels& src, const PixelMap& map, Image& out, int y0, int y1) {
    const int w = out.width();
    BlockPoints points;
    for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock) {
        const int count = std::min(fx::kColumnBlock, w - x0);
        for (int y = y0; y < y1; ++y) {
            ComputePoints(map, src.width, src.height, x0, y, count, points);
            float* dst = out.row(y) + 4 * x0;
            for (int i = 0; i < count; ++i)
                fx::StorePx(dst + 4 * i, fx::Unpremultiply(fx::SampleTransparentOutside(
                                             src, points.sx[i], points.sy[i])));
        }
    }
}

#if LUMETRA_HAS_AVX2_VARIANT
// TransformRows eight pixels at a time.
template <class Pixels, class Picture>
LUMETRA_TARGET_AVX2 void TransformRowsAvx2(const Pixels& src, const Picture& pic,
                                           const PixelMap& map, Image& out, int y0, int y1) {
    using namespace fx::avx2;
    const int w = out.width();
    BlockPoints points;
    for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock) {
        const int count = std::min(fx::kColumnBlock, w - x0);
        for (int y = y0; y < y1; ++y) {
            ComputePoints(map, pic.width, pic.height, x0, y, count, points);
            float* dst = out.row(y) + 4 * x0;
            int i = 0;
            for (; i + 8 <= count; i += 8) {
                StoreSampledOrClear(dst + 4 * i, pic, _mm256_load_ps(points.sx + i),
                                    _mm256_load_ps(points.sy + i));
            }
            for (; i < count; ++i)
                fx::StorePx(dst + 4 * i, fx::Unpremultiply(fx::SampleTransparentOutside(
                                             src, points.sx[i], points.sy[i])));
        }
    }
}
#endif

// The per-pixel double-precision map, for matrices whose map does not fit
// in floats.
template <class Pixels>
void TransformRowsDouble(const Pixels& src, const Transform3D& t, const Homography& inverse,
                         Image& out, int y0, int y1) {
    const int w = out.width();
    const int h = out.height();
    const double aspect = double(h) / double(w);  // the quad's half height in its units
    for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock)
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            // Projected Y over w, before the height is scaled to the screen.
            const double b = (2.0 * (y + 0.5) / h - 1.0) * aspect;
            for (int x = x0, x1 = std::min(w, x0 + fx::kColumnBlock); x < x1; ++x) {
                const double a = 2.0 * (x + 0.5) / w - 1.0;
                // [a b 1] times the inverse gives [x y 1] up to a factor.
                const double qx = a * inverse.m[0][0] + b * inverse.m[1][0] + inverse.m[2][0];
                const double qy = a * inverse.m[0][1] + b * inverse.m[1][1] + inverse.m[2][1];
                const double qs = a * inverse.m[0][2] + b * inverse.m[1][2] + inverse.m[2][2];
                if (qs == 0.0) continue;
                const double inv = 1.0 / qs;
                const double u = qx * inv;
                const double v = qy * inv;
                // Behind the viewer: not drawn.
                if (!(u * t.m14 + v * t.m24 + t.m44 > 0.0)) continue;
                // Far points are cut to just beyond the picture before
                // they become floats: they show nothing either way.
                const double sx = std::clamp(SnapToPixel((u + 1.0) * 0.5 * w - 0.5), -2.0, w + 1.0);
                const double sy =
                    std::clamp(SnapToPixel((v / aspect + 1.0) * 0.5 * h - 0.5), -2.0, h + 1.0);
                fx::StorePx(dst + 4 * x, fx::Unpremultiply(fx::SampleTransparentOutside(
                                             src, float(sx), float(sy))));
            }
        }
}

}  // namespace

Image ImageTools::TransformImage(const Image& image, const Transform3D& t) {
    if (image.isEmpty() || t.isIdentity()) return image;
    const double cells[16] = {t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24,
                              t.m31, t.m32, t.m33, t.m34, t.m41, t.m42, t.m43, t.m44};
    for (double cell : cells)
        if (!std::isfinite(cell)) return image;
    const int w = image.width();
    const int h = image.height();
    // z is 0 on the quad, so the third row and column play no part.
    const Homography forward{{{t.m11, t.m12, t.m14}, {t.m21, t.m22, t.m24}, {t.m41, t.m42, t.m44}}};
    Homography inverse;
    if (!forward.Invert(inverse))
        return Image::Create(w, h);  // the quad seen edge-on: nothing covered
    PixelMap map;
    if (!MakePixelMap(inverse, w, h, &map)) {
        Image out = Image::Create(w, h);
        fx::WithPixels(image, [&](const auto& src) {
            ParallelBands(h, std::int64_t(w) * 8, [&](int y0, int y1) {
                TransformRowsDouble(src, t, inverse, out, y0, y1);
            });
        });
        return out;
    }
    // Every pixel is written: transparent where nothing of the picture lands.
    Image out = Image::CreateUninitialised(w, h);
    fx::WithPixels(image, [&](const auto& src) {
#if LUMETRA_HAS_AVX2_VARIANT
        if (CpuHasAvx2()) {
            fx::avx2::BytePicture bytes;
            fx::avx2::FloatPicture floats;
            if (fx::avx2::ReadAsBytes(image, &bytes)) {
                ParallelBands(h, std::int64_t(w) * 4, [&](int y0, int y1) {
                    TransformRowsAvx2(src, bytes, map, out, y0, y1);
                });
                return;
            }
            if (fx::avx2::ReadAsFloats(image, &floats)) {
                ParallelBands(h, std::int64_t(w) * 4, [&](int y0, int y1) {
                    TransformRowsAvx2(src, floats, map, out, y0, y1);
                });
                return;
            }
        }
#endif
        ParallelBands(h, std::int64_t(w) * 8,
                      [&](int y0, int y1) { TransformRows(src, map, out, y0, y1); });
    });
    return out;
}

}  // namespace lumetra
