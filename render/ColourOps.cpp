// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjustments. Each kernel is a straight loop over a row that the
// compiler vectorises; a pass runs the ones it needs chained in one sweep.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "render/ColourStages.h"
#include "render/CpuDispatch.h"
#include "render/FastMath.h"
#include "render/ImageTools.h"
#include "render/PixelKernels.h"
#include "render/VectorMath.h"

#if LUMETRA_HAS_AVX2_VARIANT
#include <immintrin.h>
#endif

namespace lumetra {
namespace {

// Each adjustment is a row function (src, dst, pixels) that may run in
// place (src == dst): the adjustments a pass runs one after another are
// then chained over a short piece of row while it is in cache, with exactly
// the arithmetic each adjustment does on its own.
using RowOp = std::function<void(const float* src, float* dst, int n)>;

// dst = clamp((src - pivot) * mul + pivot + add) for red, green and blue;
// alpha copied. Exposure, contrast and colour balance are all this one
// affine map with different lanes.
struct AffineRow {
    float mul[3];
    float pivot;
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        const float m0 = mul[0], m1 = mul[1], m2 = mul[2];
        const float p = pivot;
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float r = Clamp01((s[0] - p) * m0 + p);
            const float g = Clamp01((s[1] - p) * m1 + p);
            const float b = Clamp01((s[2] - p) * m2 + p);
            const float a = s[3];
            d[0] = r;
            d[1] = g;
            d[2] = b;
            d[3] = a;
        }
    }
};

struct BrightnessRow {
    float brightness;
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float r = Clamp01(s[0] + brightness);
            const float g = Clamp01(s[1] + brightness);
            const float b = Clamp01(s[2] + brightness);
            const float a = s[3];
            d[0] = r;
            d[1] = g;
            d[2] = b;
            d[3] = a;
        }
    }
};

struct SaturationRow {
    float saturation;
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float luma =
                ImageTools::kLumaR * s[0] + ImageTools::kLumaG * s[1] + ImageTools::kLumaB * s[2];
            const float r = Clamp01(luma + (s[0] - luma) * saturation);
            const float g = Clamp01(luma + (s[1] - luma) * saturation);
            const float b = Clamp01(luma + (s[2] - luma) * saturation);
            const float a = s[3];
            d[0] = r;
            d[1] = g;
            d[2] = b;
            d[3] = a;
        }
    }
};

// Gamma is limited by arithmetic (a logarithm and an exponential per
// channel), so its row has an AVX2 variant.
template <int Lanes>
LUMETRA_INLINE void GammaRowBody(const float* src, float* dst, int n, float gamma, float atZero) {
    using F = typename simd::Vec<Lanes>::F;
    using I = typename simd::Vec<Lanes>::I;
    // Whole vectors of channels at a time, alpha with them; alpha is put
    // back after each vector, so the row may be changed in place.
    const F g = simd::Splat<F>(gamma);
    const F zero = simd::Splat<F>(atZero);
    I alphaLanes{};
    for (int k = 3; k < Lanes; k += 4) alphaLanes[k] = -1;
    const int count = 4 * n;
    int i = 0;
    for (; i + Lanes <= count; i += Lanes) {
        const F in = simd::Load<F>(src + i);
        const F out = simd::Clamp01(simd::Pow01<F, I>(in, g, zero));
        simd::Store(dst + i, alphaLanes ? in : out);
    }
    for (; i < count; ++i)
        dst[i] = (i & 3) == 3 ? src[i] : Clamp01(FastPow01(src[i], gamma, atZero));
}

void GammaRow(const float* src, float* dst, int n, float gamma, float atZero) {
    GammaRowBody<4>(src, dst, n, gamma, atZero);
}

#if LUMETRA_HAS_AVX2_VARIANT
// The clamped power of a vector of channels, in place. The vectors go by
// reference: a function built for AVX2 must not pass or take an eight-lane
// vector by value to or from one built for the baseline, whose convention
// for it differs (clang refuses such a call even where it is inlined), so
// the AVX2 row reaches the shared vector arithmetic through this.
template <class F, class I>
LUMETRA_INLINE void ClampedPow01(F& v, const F& g, const F& atZero) {
    v = simd::Clamp01(simd::Pow01<F, I>(v, g, atZero));
}

// Eight pixels at a time, with the colours of the last two moved into the
// alpha places of the first six: three powers of eight lanes instead of
// four, no lane spent on alpha. The power is taken lane by lane, so where a
// value sits does not change its result.
LUMETRA_TARGET_AVX2 void GammaRowAvx2(const float* src, float* dst, int n, float gamma,
                                      float atZero) {
    using F = simd::Vec<8>::F;
    using I = simd::Vec<8>::I;
    // simd::Splat written out, for the same reason.
    const F g = F{} + gamma;
    const F zero = F{} + atZero;
    const __m256i red = _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 4);
    const __m256i green = _mm256_setr_epi32(1, 1, 1, 1, 1, 1, 1, 5);
    const __m256i blue = _mm256_setr_epi32(2, 2, 2, 2, 2, 2, 2, 6);
    constexpr int kAlphaLanes = 0x88;  // lanes 3 and 7
    auto power = [&](__m256 v) LUMETRA_TARGET_AVX2 {
        F lanes = F(v);
        ClampedPow01<F, I>(lanes, g, zero);
        return __m256(lanes);
    };
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const float* s = src + 4 * x;
        const __m256 v0 = _mm256_loadu_ps(s), v1 = _mm256_loadu_ps(s + 8);
        const __m256 v2 = _mm256_loadu_ps(s + 16), v3 = _mm256_loadu_ps(s + 24);
        // Red, green and blue of pixels 6 and 7 into lanes 3 and 7 of v0, v1, v2.
        const __m256 w0 =
            power(_mm256_blend_ps(v0, _mm256_permutevar8x32_ps(v3, red), kAlphaLanes));
        const __m256 w1 =
            power(_mm256_blend_ps(v1, _mm256_permutevar8x32_ps(v3, green), kAlphaLanes));
        const __m256 w2 =
            power(_mm256_blend_ps(v2, _mm256_permutevar8x32_ps(v3, blue), kAlphaLanes));
        // Pixels 6 and 7 gathered back from lanes 3 and 7, with their alpha.
        const __m256i fromAlpha = _mm256_setr_epi32(3, 3, 3, 3, 7, 7, 7, 7);
        __m256 w3 = _mm256_blend_ps(v3, _mm256_permutevar8x32_ps(w0, fromAlpha), 0x11);
        w3 = _mm256_blend_ps(w3, _mm256_permutevar8x32_ps(w1, fromAlpha), 0x22);
        w3 = _mm256_blend_ps(w3, _mm256_permutevar8x32_ps(w2, fromAlpha), 0x44);
        float* d = dst + 4 * x;
        _mm256_storeu_ps(d, _mm256_blend_ps(w0, v0, kAlphaLanes));
        _mm256_storeu_ps(d + 8, _mm256_blend_ps(w1, v1, kAlphaLanes));
        _mm256_storeu_ps(d + 16, _mm256_blend_ps(w2, v2, kAlphaLanes));
        _mm256_storeu_ps(d + 24, w3);
    }
    if (x < n) GammaRowBody<8>(src + 4 * x, dst + 4 * x, n - x, gamma, atZero);
}
#else
void GammaRowAvx2(const float* src, float* dst, int n, float gamma, float atZero) {
    GammaRowBody<4>(src, dst, n, gamma, atZero);
}
#endif

struct GammaRowOp {
    float gamma;
    float atZero;
    void (*row)(const float*, float*, int, float, float);
    void operator()(const float* src, float* dst, int n) const { row(src, dst, n, gamma, atZero); }
};

GammaRowOp MakeGamma(float gamma) {
    return {gamma, PowAtZero(gamma), CpuHasAvx2() ? &GammaRowAvx2 : &GammaRow};
}

struct HueRow {
    float c, s;
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        for (int x = 0; x < n; ++x) {
            const float* p = src + 4 * x;
            float* d = dst + 4 * x;
            const float y = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
            const float i = 0.595716f * p[0] - 0.274453f * p[1] - 0.321263f * p[2];
            const float q = 0.211456f * p[0] - 0.522591f * p[1] + 0.31135f * p[2];
            const float i2 = i * c + q * s;
            const float q2 = q * c - i * s;
            const float a = p[3];
            d[0] = Clamp01(y + 0.9563f * i2 + 0.6210f * q2);
            d[1] = Clamp01(y - 0.2721f * i2 - 0.6474f * q2);
            d[2] = Clamp01(y - 1.1070f * i2 + 1.7046f * q2);
            d[3] = a;
        }
    }
};

// Decreasing the chroma angle by `turn` degrees is a rotation of (I, Q).
HueRow MakeHue(double turn) {
    const double radians = turn * M_PI / 180.0;
    return {float(std::cos(radians)), float(std::sin(radians))};
}

struct GrayscaleRow {
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float luma = Clamp01(ImageTools::kLumaR * s[0] + ImageTools::kLumaG * s[1] +
                                       ImageTools::kLumaB * s[2]);
            const float a = s[3];
            d[0] = luma;
            d[1] = luma;
            d[2] = luma;
            d[3] = a;
        }
    }
};

struct SepiaRow {
    float intensity, keep;
    LUMETRA_INLINE void operator()(const float* src, float* dst, int n) const {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float r = 0.3588f * s[0] + 0.7044f * s[1] + 0.1368f * s[2];
            const float g = 0.2990f * s[0] + 0.5870f * s[1] + 0.1140f * s[2];
            const float b = 0.2392f * s[0] + 0.4696f * s[1] + 0.0912f * s[2];
            const float a = s[3];
            d[0] = Clamp01(keep * s[0] + intensity * r);
            d[1] = Clamp01(keep * s[1] + intensity * g);
            d[2] = Clamp01(keep * s[2] + intensity * b);
            d[3] = a;
        }
    }
};

// A row adjustment run by a copy of its loop compiled for AVX2 and FMA
// where the processor has them: eight floats at a time instead of four
// (a third less time for black and white or sepia on a large photo).
template <class Op>
void RunRow(const Op& op, const float* src, float* dst, int n) {
    op(src, dst, n);
}
#if LUMETRA_HAS_AVX2_VARIANT
template <class Op>
LUMETRA_TARGET_AVX2 void RunRowAvx2(const Op& op, const float* src, float* dst, int n) {
    op(src, dst, n);
}
#endif

template <class Op>
RowOp Dispatched(Op op) {
#if LUMETRA_HAS_AVX2_VARIANT
    if (CpuHasAvx2())
        return [op](const float* src, float* dst, int n) { RunRowAvx2(op, src, dst, n); };
#endif
    return [op](const float* src, float* dst, int n) { RunRow(op, src, dst, n); };
}

// Pieces of a row the chained adjustments work on: 16 KB of floats, which
// stay in the first-level cache from one adjustment to the next.
constexpr int kChainPixels = 1024;

}  // namespace

Image ImageTools::BrightnessImage(const Image& image, float brightness) {
    if (brightness == 0.f || image.isEmpty()) return image;
    return MapRows(image, Dispatched(BrightnessRow{brightness}));
}

Image ImageTools::ExposureImage(const Image& image, float exposure) {
    if (exposure == 0.f || image.isEmpty()) return image;
    const float k = std::exp2(exposure);
    return MapRows(image, Dispatched(AffineRow{{k, k, k}, 0.f}));
}

Image ImageTools::ContrastImage(const Image& image, float contrast) {
    if (contrast == 1.f || image.isEmpty()) return image;
    return MapRows(image, Dispatched(AffineRow{{contrast, contrast, contrast}, 0.5f}));
}

Image ImageTools::RGBImage(const Image& image, float red, float green, float blue) {
    if ((red == 1.f && green == 1.f && blue == 1.f) || image.isEmpty()) return image;
    return MapRows(image, Dispatched(AffineRow{{red, green, blue}, 0.f}));
}

Image ImageTools::SaturationImage(const Image& image, float saturation) {
    if (saturation == 1.f || image.isEmpty()) return image;
    return MapRows(image, Dispatched(SaturationRow{saturation}));
}

Image ImageTools::GammaImage(const Image& image, float gamma) {
    if (gamma == 1.f || image.isEmpty()) return image;
    return MapRows(image, MakeGamma(gamma));
}

Image ImageTools::HueImage(const Image& image, float hue) {
    if (image.isEmpty()) return image;
    const double turn = std::fmod(double(hue), 360.0);
    if (turn == 0.0) return image;
    return MapRows(image, Dispatched(MakeHue(turn)));
}

Image ImageTools::GrayscaleImage(const Image& image) {
    if (image.isEmpty()) return image;
    return MapRows(image, Dispatched(GrayscaleRow{}));
}

Image ImageTools::SepiaImage(const Image& image, float intensity) {
    if (intensity == 0.f || image.isEmpty()) return image;
    return MapRows(image, Dispatched(SepiaRow{intensity, 1.f - intensity}));
}

Image ApplyColourStages(const Image& image, const ColourStages& c) {
    if (image.isEmpty()) return image;
    // The same adjustments, with the same rest values, that the single
    // functions above skip.
    std::vector<RowOp> ops;
    if (c.brightness != 0.f) ops.push_back(Dispatched(BrightnessRow{c.brightness}));
    if (c.exposure != 0.f) {
        const float k = std::exp2(c.exposure);
        ops.push_back(Dispatched(AffineRow{{k, k, k}, 0.f}));
    }
    if (c.contrast != 1.f)
        ops.push_back(Dispatched(AffineRow{{c.contrast, c.contrast, c.contrast}, 0.5f}));
    if (c.saturation != 1.f) ops.push_back(Dispatched(SaturationRow{c.saturation}));
    if (c.gamma != 1.f) ops.push_back(MakeGamma(c.gamma));
    const double turn = std::fmod(double(c.hue), 360.0);
    if (turn != 0.0) ops.push_back(Dispatched(MakeHue(turn)));
    if (!(c.red == 1.f && c.green == 1.f && c.blue == 1.f))
        ops.push_back(Dispatched(AffineRow{{c.red, c.green, c.blue}, 0.f}));
    if (c.blackWhite) ops.push_back(Dispatched(GrayscaleRow{}));
    if (c.sepia && c.sepiaIntensity != 0.f)
        ops.push_back(Dispatched(SepiaRow{c.sepiaIntensity, 1.f - c.sepiaIntensity}));
    if (ops.empty()) return image;
    return MapRows(image, [&ops](const float* src, float* dst, int n) {
        for (int x = 0; x < n; x += kChainPixels) {
            const int count = std::min(kChainPixels, n - x);
            ops.front()(src + 4 * x, dst + 4 * x, count);
            for (std::size_t i = 1; i < ops.size(); ++i) ops[i](dst + 4 * x, dst + 4 * x, count);
        }
    });
}

}  // namespace lumetra
