// SPDX-License-Identifier: GPL-3.0-or-later
// Swirl and glass sphere: each output pixel samples the picture at a point
// moved about the centre. The moved points are computed as each pixel is
// written, and the picture is read where it stands (8-bit or float); on
// processors with AVX2 eight pixels are sampled at a time.
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

using fx::Px;
using fx::StorePx;

// Light directions of the sphere: straight at the viewer for the rim
// light, and from the left and (y pointing down) below for the highlight.
constexpr float kHighlightX = -0.40825f, kHighlightY = 0.40825f, kHighlightZ = 0.81650f;

// The swirl's geometry: offsets from the centre in normalised coordinates
// (without aspect correction), turned by turn * ((r - d) / r)^2 inside the
// radius.
struct Swirl {
    int w, h;
    float r, turn;
};

template <class Pixels>
LUMETRA_INLINE Px SwirlPixel(const Pixels& src, const Swirl& sw, int x, int y) {
    const float dx = (float(x) + 0.5f) / float(sw.w) - 0.5f;
    const float dy = (float(y) + 0.5f) / float(sw.h) - 0.5f;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (!(d < sw.r)) return src.Load(x, y);
    const float pct = (sw.r - d) / sw.r;
    float s, c;
    FastSinCos(pct * pct * sw.turn, &s, &c);
    const float u = dx * c - dy * s + 0.5f;
    const float v = dx * s + dy * c + 0.5f;
    const Px p = fx::SampleClamped(src, u * float(sw.w) - 0.5f, v * float(sw.h) - 0.5f);
    return fx::FinishClampedSample<Pixels>(p);
}

template <class Pixels>
void SwirlRows(const Pixels& src, Image& out, const Swirl& sw, int y0, int y1) {
    for (int x0 = 0; x0 < sw.w; x0 += fx::kColumnBlock)
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            for (int x = x0, x1 = std::min(sw.w, x0 + fx::kColumnBlock); x < x1; ++x)
                StorePx(dst + 4 * x, SwirlPixel(src, sw, x, y));
        }
}

// The sphere's geometry: offsets from the centre in widths, a round sphere
// on any picture.
struct Sphere {
    int w, h;
    float r, eta;
};

template <class Pixels>
LUMETRA_INLINE Px SpherePixel(const Pixels& src, const Sphere& sp, int x, float py) {
    const float px = (float(x) + 0.5f - float(sp.w) * 0.5f) / float(sp.w);
    const float d = std::sqrt(px * px + py * py);
    // The share of the pixel inside the sphere's outline.
    const float inside = std::clamp(sp.r * float(sp.w) - d * float(sp.w) + 0.5f, 0.f, 1.f);
    if (inside == 0.f) return Px{};
    const float dn = std::min(d / sp.r, 1.f);
    const float depth = sp.r * std::sqrt(std::max(0.f, 1.f - dn * dn));
    const float norm = std::sqrt(px * px + py * py + depth * depth);
    float nx = 0.f, ny = 0.f, nz = 1.f;
    if (norm > 0.f) {
        nx = px / norm;
        ny = py / norm;
        nz = depth / norm;
    }
    // Refract the view ray (0, 0, -1) through the surface.
    const float cosine = -nz;  // N . I
    const float k = 1.f - sp.eta * sp.eta * (1.f - cosine * cosine);
    float rx = 0.f, ry = 0.f;
    if (k >= 0.f) {
        const float along = sp.eta * cosine + std::sqrt(k);
        rx = -along * nx;
        ry = -along * ny;
    }
    const Px sample =
        fx::SampleClamped(src, (0.5f - rx) * float(sp.w) - 0.5f, (0.5f - ry) * float(sp.h) - 0.5f);
    // Light grazing the rim, and a highlight.
    const float facing = std::clamp(nz, 0.f, 1.f);
    const float rim = 2.5f * (1.f - std::sqrt(std::sqrt(facing)));
    const float l = std::clamp(nx * kHighlightX + ny * kHighlightY + nz * kHighlightZ, 0.f, 1.f);
    const float l2 = l * l, l4 = l2 * l2, l8 = l4 * l4;
    const float light = rim + 0.8f * l8 * l4 * l2 * l;
    // The colour as the sphere shows it: the sample over black.
    Px shown = simd::Clamp01(sample + light);
    shown[3] = inside;
    return shown;
}

template <class Pixels>
void SphereRows(const Pixels& src, Image& out, const Sphere& sp, int y0, int y1) {
    for (int x0 = 0; x0 < sp.w; x0 += fx::kColumnBlock)
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float py = (float(y) + 0.5f - float(sp.h) * 0.5f) / float(sp.w);
            for (int x = x0, x1 = std::min(sp.w, x0 + fx::kColumnBlock); x < x1; ++x)
                StorePx(dst + 4 * x, SpherePixel(src, sp, x, py));
        }
}

#if LUMETRA_HAS_AVX2_VARIANT
using namespace fx::avx2;

// SwirlRows eight pixels at a time; `src` is the same picture for the last
// few columns.
template <class Pixels, class Picture>
LUMETRA_TARGET_AVX2 void SwirlRowsAvx2(const Pixels& src, const Picture& pic, Image& out,
                                       const Swirl& sw, int y0, int y1) {
    const __m256 invW = Splat8(1.f / float(sw.w));
    const __m256 half = Splat8(0.5f);
    const __m256 r = Splat8(sw.r);
    const __m256 turnOverR2 = Splat8(sw.turn / (sw.r * sw.r));
    const __m256 wF = Splat8(float(sw.w));
    const __m256 hF = Splat8(float(sw.h));
    for (int x0 = 0; x0 < sw.w; x0 += fx::kColumnBlock) {
        const int x1 = std::min(sw.w, x0 + fx::kColumnBlock);
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const __m256 dy = Splat8((float(y) + 0.5f) / float(sw.h) - 0.5f);
            int x = x0;
            for (; x + 8 <= x1; x += 8) {
                const __m256 dx =
                    _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(Columns(x), half), invW), half);
                const __m256 d = _mm256_sqrt_ps(_mm256_fmadd_ps(dx, dx, _mm256_mul_ps(dy, dy)));
                const __m256 inside = _mm256_cmp_ps(d, r, _CMP_LT_OQ);
                const int insideLanes = _mm256_movemask_ps(inside);
                if (insideLanes == 0) {
                    Store(dst + 4 * x, LoadRow(pic, x, y));
                    continue;
                }
                const __m256 rest = _mm256_max_ps(_mm256_sub_ps(r, d), _mm256_setzero_ps());
                __m256 s, c;
                SinCos(_mm256_mul_ps(_mm256_mul_ps(rest, rest), turnOverR2), &s, &c);
                const __m256 u = _mm256_add_ps(_mm256_fmsub_ps(dx, c, _mm256_mul_ps(dy, s)), half);
                const __m256 v = _mm256_add_ps(_mm256_fmadd_ps(dx, s, _mm256_mul_ps(dy, c)), half);
                Px8 p = Sample<Edge::Clamp>(pic, _mm256_fmsub_ps(u, wF, half),
                                            _mm256_fmsub_ps(v, hF, half));
                p = pic.opaque ? Px8{Clamp01(p.r), Clamp01(p.g), Clamp01(p.b), Splat8(1.f)}
                               : Unpremultiply(p);
                Store(dst + 4 * x, insideLanes == 0xff ? p : Select(inside, p, LoadRow(pic, x, y)));
            }
            for (; x < x1; ++x) StorePx(dst + 4 * x, SwirlPixel(src, sw, x, y));
        }
    }
}

// SphereRows eight pixels at a time.
template <class Pixels, class Picture>
LUMETRA_TARGET_AVX2 void SphereRowsAvx2(const Pixels& src, const Picture& pic, Image& out,
                                        const Sphere& sp, int y0, int y1) {
    const __m256 invW = Splat8(1.f / float(sp.w));
    const __m256 halfW = Splat8(float(sp.w) * 0.5f - 0.5f);
    const __m256 half = Splat8(0.5f);
    const __m256 one = Splat8(1.f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 r = Splat8(sp.r);
    const __m256 invR = Splat8(1.f / sp.r);
    const __m256 eta = Splat8(sp.eta);
    const __m256 wF = Splat8(float(sp.w));
    const __m256 hF = Splat8(float(sp.h));
    const __m256 edge = Splat8(sp.r * float(sp.w) + 0.5f);
    for (int x0 = 0; x0 < sp.w; x0 += fx::kColumnBlock) {
        const int x1 = std::min(sp.w, x0 + fx::kColumnBlock);
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float pyScalar = (float(y) + 0.5f - float(sp.h) * 0.5f) / float(sp.w);
            const __m256 py = Splat8(pyScalar);
            int x = x0;
            for (; x + 8 <= x1; x += 8) {
                const __m256 px = _mm256_mul_ps(_mm256_sub_ps(Columns(x), halfW), invW);
                const __m256 d2 = _mm256_fmadd_ps(px, px, _mm256_mul_ps(py, py));
                const __m256 d = _mm256_sqrt_ps(d2);
                const __m256 inside = Clamp01(_mm256_fnmadd_ps(d, wF, edge));
                if (_mm256_movemask_ps(_mm256_cmp_ps(inside, zero, _CMP_GT_OQ)) == 0) {
                    Store(dst + 4 * x, Px8{zero, zero, zero, zero});
                    continue;
                }
                const __m256 dn = _mm256_min_ps(_mm256_mul_ps(d, invR), one);
                const __m256 depth = _mm256_mul_ps(
                    r, _mm256_sqrt_ps(_mm256_max_ps(zero, _mm256_fnmadd_ps(dn, dn, one))));
                const __m256 norm = _mm256_sqrt_ps(_mm256_fmadd_ps(depth, depth, d2));
                const __m256 valid = _mm256_cmp_ps(norm, zero, _CMP_GT_OQ);
                const __m256 invNorm = _mm256_and_ps(valid, _mm256_div_ps(one, norm));
                const __m256 nx = _mm256_mul_ps(px, invNorm);
                const __m256 ny = _mm256_mul_ps(py, invNorm);
                const __m256 nz = _mm256_blendv_ps(one, _mm256_mul_ps(depth, invNorm), valid);
                // Refract the view ray (0, 0, -1) through the surface.
                const __m256 k =
                    _mm256_fnmadd_ps(_mm256_mul_ps(eta, eta), _mm256_fnmadd_ps(nz, nz, one), one);
                const __m256 refracts = _mm256_cmp_ps(k, zero, _CMP_GE_OQ);
                const __m256 along = _mm256_and_ps(
                    refracts,
                    _mm256_fmsub_ps(eta, _mm256_sub_ps(zero, nz),
                                    _mm256_sub_ps(zero, _mm256_sqrt_ps(_mm256_max_ps(k, zero)))));
                const __m256 rx = _mm256_mul_ps(_mm256_sub_ps(zero, along), nx);
                const __m256 ry = _mm256_mul_ps(_mm256_sub_ps(zero, along), ny);
                const Px8 sample =
                    Sample<Edge::Clamp>(pic, _mm256_fmsub_ps(_mm256_sub_ps(half, rx), wF, half),
                                        _mm256_fmsub_ps(_mm256_sub_ps(half, ry), hF, half));
                // Light grazing the rim, and a highlight.
                const __m256 facing = Clamp01(nz);
                const __m256 rim = _mm256_mul_ps(
                    Splat8(2.5f), _mm256_sub_ps(one, _mm256_sqrt_ps(_mm256_sqrt_ps(facing))));
                const __m256 l = Clamp01(
                    _mm256_fmadd_ps(nx, Splat8(kHighlightX),
                                    _mm256_fmadd_ps(ny, Splat8(kHighlightY),
                                                    _mm256_mul_ps(nz, Splat8(kHighlightZ)))));
                const __m256 l2 = _mm256_mul_ps(l, l), l4 = _mm256_mul_ps(l2, l2),
                             l8 = _mm256_mul_ps(l4, l4);
                const __m256 light = _mm256_fmadd_ps(
                    Splat8(0.8f), _mm256_mul_ps(_mm256_mul_ps(l8, l4), _mm256_mul_ps(l2, l)), rim);
                // The colour as the sphere shows it: the sample over black.
                const Px8 shown{Clamp01(_mm256_add_ps(sample.r, light)),
                                Clamp01(_mm256_add_ps(sample.g, light)),
                                Clamp01(_mm256_add_ps(sample.b, light)), inside};
                const __m256 drawn = _mm256_cmp_ps(inside, zero, _CMP_GT_OQ);
                Store(dst + 4 * x, Select(drawn, shown, Px8{zero, zero, zero, zero}));
            }
            for (; x < x1; ++x) StorePx(dst + 4 * x, SpherePixel(src, sp, x, pyScalar));
        }
    }
}
#endif

// Runs rows(src, y0, y1) over the picture's rows, or the eight-pixel rows
// when the processor has AVX2.
template <class Rows, class RowsAvx2>
void RunWarp(const Image& image, Rows&& rows, RowsAvx2&& rowsAvx2) {
    const int w = image.width();
    const int h = image.height();
    fx::WithPixels(image, [&](const auto& src) {
#if LUMETRA_HAS_AVX2_VARIANT
        if (CpuHasAvx2()) {
            BytePicture bytes;
            FloatPicture floats;
            if (ReadAsBytes(image, &bytes)) {
                ParallelBands(h, std::int64_t(w) * 4,
                              [&](int y0, int y1) { rowsAvx2(src, bytes, y0, y1); });
                return;
            }
            if (ReadAsFloats(image, &floats)) {
                ParallelBands(h, std::int64_t(w) * 4,
                              [&](int y0, int y1) { rowsAvx2(src, floats, y0, y1); });
                return;
            }
        }
#else
        (void)rowsAvx2;
#endif
        ParallelBands(h, std::int64_t(w) * 8, [&](int y0, int y1) { rows(src, y0, y1); });
    });
}

}  // namespace

Image ImageTools::SwirlImage(const Image& image, float radius, float angle) {
    if (image.isEmpty() || !fx::AllFinite(radius, angle)) return image;
    if (!(radius > 0.f) || angle == 0.f) return image;
    const Swirl sw{image.width(), image.height(), radius, 8.f * angle};
    Image out = Image::CreateUninitialised(image.width(), image.height());
    RunWarp(
        image, [&](const auto& src, int y0, int y1) { SwirlRows(src, out, sw, y0, y1); },
        [&](const auto& src, const auto& pic, int y0, int y1) {
            SwirlRowsAvx2(src, pic, out, sw, y0, y1);
        });
    return out;
}

Image ImageTools::GlassSphereImage(const Image& image, float radius, float refractiveIndex) {
    if (image.isEmpty() || !fx::AllFinite(radius, refractiveIndex)) return image;
    if (!(radius > 0.f)) return Image::Create(image.width(), image.height());  // all outside
    const Sphere sp{image.width(), image.height(), radius, refractiveIndex};
    // Every pixel is written: transparent outside the sphere.
    Image out = Image::CreateUninitialised(image.width(), image.height());
    RunWarp(
        image, [&](const auto& src, int y0, int y1) { SphereRows(src, out, sp, y0, y1); },
        [&](const auto& src, const auto& pic, int y0, int y1) {
            SphereRowsAvx2(src, pic, out, sp, y0, y1);
        });
    return out;
}

}  // namespace lumetra
