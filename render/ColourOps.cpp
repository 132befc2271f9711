// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjustments. Each kernel is a straight loop over a row that the
// compiler vectorises; the per-channel factors are laid out as four lanes
// (red, green, blue, alpha) so that one pixel fills one vector.
#include <cmath>

#include "render/CpuDispatch.h"
#include "render/FastMath.h"
#include "render/ImageTools.h"
#include "render/PixelKernels.h"
#include "render/VectorMath.h"

namespace lumetra {
namespace {

// dst = clamp((src - pivot) * mul + pivot + add) for red, green and blue;
// alpha copied. Brightness, exposure, contrast and colour balance are all
// this one affine map with different lanes.
struct Affine {
    float mul[3];
    float add[3];
    float pivot;
};

Image AffineImage(const Image& image, const Affine& a) {
    return MapRows(image, [&a](const float* src, float* dst, int n) {
        const float m0 = a.mul[0], m1 = a.mul[1], m2 = a.mul[2];
        const float a0 = a.add[0], a1 = a.add[1], a2 = a.add[2];
        const float p = a.pivot;
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            d[0] = Clamp01((s[0] - p) * m0 + p + a0);
            d[1] = Clamp01((s[1] - p) * m1 + p + a1);
            d[2] = Clamp01((s[2] - p) * m2 + p + a2);
            d[3] = s[3];
        }
    });
}

// Gamma is limited by arithmetic (a logarithm and an exponential per
// channel), so its row has an AVX2 variant.
template <int Lanes>
LUMETRA_INLINE void GammaRowBody(const float* src, float* dst, int n, float gamma, float atZero) {
    using F = typename simd::Vec<Lanes>::F;
    using I = typename simd::Vec<Lanes>::I;
    // All four channels are computed, whole vectors at a time; alpha is put
    // back afterwards while the row is still in cache.
    const F g = simd::Splat<F>(gamma);
    const F zero = simd::Splat<F>(atZero);
    const int count = 4 * n;
    int i = 0;
    for (; i + Lanes <= count; i += Lanes)
        simd::Store(dst + i, simd::Clamp01(simd::Pow01<F, I>(simd::Load<F>(src + i), g, zero)));
    for (; i < count; ++i) dst[i] = Clamp01(FastPow01(src[i], gamma, atZero));
    for (int x = 0; x < n; ++x) dst[4 * x + 3] = src[4 * x + 3];
}

void GammaRow(const float* src, float* dst, int n, float gamma, float atZero) {
    GammaRowBody<4>(src, dst, n, gamma, atZero);
}

#if LUMETRA_HAS_AVX2_VARIANT
LUMETRA_TARGET_AVX2 void GammaRowAvx2(const float* src, float* dst, int n, float gamma,
                                      float atZero) {
    GammaRowBody<8>(src, dst, n, gamma, atZero);
}
#else
void GammaRowAvx2(const float* src, float* dst, int n, float gamma, float atZero) {
    GammaRowBody<4>(src, dst, n, gamma, atZero);
}
#endif

}  // namespace

Image ImageTools::BrightnessImage(const Image& image, float brightness) {
    if (brightness == 0.f || image.isEmpty()) return image;
    return MapRows(image, [brightness](const float* src, float* dst, int n) {
        for (int x = 0; x < n; ++x) {
            dst[4 * x + 0] = Clamp01(src[4 * x + 0] + brightness);
            dst[4 * x + 1] = Clamp01(src[4 * x + 1] + brightness);
            dst[4 * x + 2] = Clamp01(src[4 * x + 2] + brightness);
            dst[4 * x + 3] = src[4 * x + 3];
        }
    });
}

Image ImageTools::ExposureImage(const Image& image, float exposure) {
    if (exposure == 0.f || image.isEmpty()) return image;
    const float k = std::exp2(exposure);
    return AffineImage(image, Affine{{k, k, k}, {0, 0, 0}, 0.f});
}

Image ImageTools::ContrastImage(const Image& image, float contrast) {
    if (contrast == 1.f || image.isEmpty()) return image;
    return AffineImage(image, Affine{{contrast, contrast, contrast}, {0, 0, 0}, 0.5f});
}

Image ImageTools::RGBImage(const Image& image, float red, float green, float blue) {
    if ((red == 1.f && green == 1.f && blue == 1.f) || image.isEmpty()) return image;
    return AffineImage(image, Affine{{red, green, blue}, {0, 0, 0}, 0.f});
}

Image ImageTools::SaturationImage(const Image& image, float saturation) {
    if (saturation == 1.f || image.isEmpty()) return image;
    return MapRows(image, [saturation](const float* src, float* dst, int n) {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float luma = kLumaR * s[0] + kLumaG * s[1] + kLumaB * s[2];
            d[0] = Clamp01(luma + (s[0] - luma) * saturation);
            d[1] = Clamp01(luma + (s[1] - luma) * saturation);
            d[2] = Clamp01(luma + (s[2] - luma) * saturation);
            d[3] = s[3];
        }
    });
}

Image ImageTools::GammaImage(const Image& image, float gamma) {
    if (gamma == 1.f || image.isEmpty()) return image;
    const float atZero = PowAtZero(gamma);
    const auto row = CpuHasAvx2() ? &GammaRowAvx2 : &GammaRow;
    return MapRows(image, [row, gamma, atZero](const float* src, float* dst, int n) {
        row(src, dst, n, gamma, atZero);
    });
}

Image ImageTools::HueImage(const Image& image, float hue) {
    if (image.isEmpty()) return image;
    const double turn = std::fmod(double(hue), 360.0);
    if (turn == 0.0) return image;
    // Decreasing the chroma angle by `turn` is a rotation of (I, Q).
    const double radians = turn * M_PI / 180.0;
    const float c = float(std::cos(radians));
    const float s = float(std::sin(radians));
    return MapRows(image, [c, s](const float* src, float* dst, int n) {
        for (int x = 0; x < n; ++x) {
            const float* p = src + 4 * x;
            float* d = dst + 4 * x;
            const float y = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
            const float i = 0.595716f * p[0] - 0.274453f * p[1] - 0.321263f * p[2];
            const float q = 0.211456f * p[0] - 0.522591f * p[1] + 0.31135f * p[2];
            const float i2 = i * c + q * s;
            const float q2 = q * c - i * s;
            d[0] = Clamp01(y + 0.9563f * i2 + 0.6210f * q2);
            d[1] = Clamp01(y - 0.2721f * i2 - 0.6474f * q2);
            d[2] = Clamp01(y - 1.1070f * i2 + 1.7046f * q2);
            d[3] = p[3];
        }
    });
}

Image ImageTools::GrayscaleImage(const Image& image) {
    if (image.isEmpty()) return image;
    return MapRows(image, [](const float* src, float* dst, int n) {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float luma = Clamp01(kLumaR * s[0] + kLumaG * s[1] + kLumaB * s[2]);
            d[0] = luma;
            d[1] = luma;
            d[2] = luma;
            d[3] = s[3];
        }
    });
}

Image ImageTools::SepiaImage(const Image& image, float intensity) {
    if (intensity == 0.f || image.isEmpty()) return image;
    const float keep = 1.f - intensity;
    return MapRows(image, [intensity, keep](const float* src, float* dst, int n) {
        for (int x = 0; x < n; ++x) {
            const float* s = src + 4 * x;
            float* d = dst + 4 * x;
            const float r = 0.3588f * s[0] + 0.7044f * s[1] + 0.1368f * s[2];
            const float g = 0.2990f * s[0] + 0.5870f * s[1] + 0.1140f * s[2];
            const float b = 0.2392f * s[0] + 0.4696f * s[1] + 0.0912f * s[2];
            d[0] = Clamp01(keep * s[0] + intensity * r);
            d[1] = Clamp01(keep * s[1] + intensity * g);
            d[2] = Clamp01(keep * s[2] + intensity * b);
            d[3] = s[3];
        }
    });
}

}  // namespace lumetra
