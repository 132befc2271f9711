// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a picture's pixels where they stand, whatever their storage, for
// the effects that sample the picture at moved places (rotation, the 3D
// transform, swirl, glass sphere). An 8-bit picture straight from the file
// is read as it is, four bytes a tap, instead of being copied to floats
// first; and a layout without alpha (RGB32, RGBX8888) is known to be
// opaque, so its taps need no premultiplying.
//
// A kernel is written once as a template over the pixel source and run
// through WithPixels(), which picks the source for the picture at hand.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/Image.h"

#if LUMETRA_X86_KERNELS
#include <emmintrin.h>
#endif

namespace lumetra::fx {

// Float storage: four floats a pixel.
struct FloatPixels {
    static constexpr bool kOpaque = false;
    const float* base;
    std::ptrdiff_t stride;  // floats per row
    int width;
    int height;

    LUMETRA_INLINE Px Load(int x, int y) const {
        return LoadPx(base + std::ptrdiff_t(y) * stride + 4 * std::ptrdiff_t(x));
    }
    LUMETRA_INLINE void LoadPair(int x, int y, Px* left, Px* right) const {
        const float* p = base + std::ptrdiff_t(y) * stride + 4 * std::ptrdiff_t(x);
        *left = LoadPx(p);
        *right = LoadPx(p + 4);
    }
};

// 8-bit storage, B, G, R, A in memory (kBgra) or R, G, B, A; kOpaqueLayout
// for the layouts whose fourth byte is always 255.
template <bool kBgra, bool kOpaqueLayout>
struct BytePixels {
    static constexpr bool kOpaque = kOpaqueLayout;
    const unsigned char* base;
    std::ptrdiff_t stride;  // bytes per row
    int width;
    int height;

    LUMETRA_INLINE Px Load(int x, int y) const {
        std::uint32_t word;
        std::memcpy(&word, base + std::ptrdiff_t(y) * stride + 4 * std::ptrdiff_t(x), 4);
        // Divided rather than multiplied by the reciprocal: exactly the
        // float a pixel copied from the picture has elsewhere in the engine.
#if LUMETRA_X86_KERNELS
        const __m128i zero = _mm_setzero_si128();
        const __m128i lanes =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(word)), zero), zero);
        return Finish(Px(_mm_div_ps(_mm_cvtepi32_ps(lanes), _mm_set1_ps(255.f))));
#else
        return Finish(ByteLanes(word) / 255.f);
#endif
    }

    // Pixels (x, y) and (x + 1, y) in one read.
    LUMETRA_INLINE void LoadPair(int x, int y, Px* left, Px* right) const {
        const unsigned char* p = base + std::ptrdiff_t(y) * stride + 4 * std::ptrdiff_t(x);
#if LUMETRA_X86_KERNELS
        const __m128i zero = _mm_setzero_si128();
        const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i shorts = _mm_unpacklo_epi8(words, zero);
        const __m128 scale = _mm_set1_ps(1.f / 255.f);
        *left = Finish(Px(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(shorts, zero)), scale)));
        *right = Finish(Px(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(shorts, zero)), scale)));
#else
        std::uint32_t words[2];
        std::memcpy(words, p, sizeof words);
        *left = Finish(ByteLanes(words[0]) * (1.f / 255.f));
        *right = Finish(ByteLanes(words[1]) * (1.f / 255.f));
#endif
    }

  private:
#if !LUMETRA_X86_KERNELS
    // The four bytes of a pixel's word, in memory order, as floats 0..255:
    // the word copied to every lane and shifted, which compilers turn into
    // a few vector instructions (on ARM64: a load to all lanes, a shift, a
    // mask and a conversion).
    static LUMETRA_INLINE Px ByteLanes(std::uint32_t word) {
        typedef std::uint32_t U4 __attribute__((vector_size(16)));
        constexpr bool kLittle = std::endian::native == std::endian::little;
        const U4 shifts = kLittle ? U4{0, 8, 16, 24} : U4{24, 16, 8, 0};
        return __builtin_convertvector(((U4{} + word) >> shifts) & 0xffu, Px);
    }
#endif

    // Channel values in 0..1 to R, G, B, A order.
    static LUMETRA_INLINE Px Finish(Px p) {
        if constexpr (kBgra) p = __builtin_shufflevector(p, p, 2, 1, 0, 3);
        if constexpr (kOpaqueLayout) p[3] = 1.f;
        return p;
    }
};

// Calls fn(pixels) with the source that reads `image` (not empty).
template <class Fn>
LUMETRA_INLINE void WithPixels(const Image& image, Fn&& fn) {
    const int w = image.width();
    const int h = image.height();
    if (image.isFloat()) {
        fn(FloatPixels{image.row(0), std::ptrdiff_t(image.rowFloats()), w, h});
        return;
    }
    const QImage& bytes = image.eightBit();
    const unsigned char* base = bytes.constBits();
    const std::ptrdiff_t stride = bytes.bytesPerLine();
    const bool opaque = !bytes.hasAlphaChannel();
    if (image.eightBitIsBgra()) {
        if (opaque)
            fn(BytePixels<true, true>{base, stride, w, h});
        else
            fn(BytePixels<true, false>{base, stride, w, h});
    } else {
        if (opaque)
            fn(BytePixels<false, true>{base, stride, w, h});
        else
            fn(BytePixels<false, false>{base, stride, w, h});
    }
}

// A tap premultiplied by its alpha (nothing to do on an opaque source).
template <class Pixels>
LUMETRA_INLINE Px LoadPremultiplied(const Pixels& src, int x, int y) {
    const Px p = src.Load(x, y);
    if constexpr (Pixels::kOpaque)
        return p;
    else
        return Premultiply(p);
}

// Back to straight alpha after SampleClamped. On an opaque source every
// such sample has alpha exactly 1, so the division is left out; the clamp
// stays. (SampleTransparentOutside's samples fade at the outline: they are
// always finished with Unpremultiply.)
template <class Pixels>
LUMETRA_INLINE Px FinishClampedSample(Px p) {
    if constexpr (Pixels::kOpaque)
        return simd::Clamp01(p);
    else
        return Unpremultiply(p);
}

// Bilinear sample at (fx, fy) in pixel-index space, taps outside the
// picture replaced by the nearest edge pixel; premultiplied.
template <class Pixels>
LUMETRA_INLINE Px SampleClamped(const Pixels& src, float fx, float fy) {
    const int w = src.width;
    const int h = src.height;
    // Far points give the same taps as the nearest edge; NaN becomes 0.
    fx = std::clamp(fx, -1.f, float(w));
    fy = std::clamp(fy, -1.f, float(h));
    if (!(fx == fx)) fx = 0.f;
    if (!(fy == fy)) fy = 0.f;
    const float x0f = std::floor(fx);
    const float y0f = std::floor(fy);
    const float tx = fx - x0f;
    const float ty = fy - y0f;
    const int y0 = std::clamp(int(y0f), 0, h - 1);
    const int y1 = std::clamp(int(y0f) + 1, 0, h - 1);
    Px a, b, c, d;
    if (int(x0f) >= 0 && int(x0f) + 1 < w) {
        // Both columns inside, as for nearly every sample: two reads.
        src.LoadPair(int(x0f), y0, &a, &b);
        src.LoadPair(int(x0f), y1, &c, &d);
        if constexpr (!Pixels::kOpaque) {
            a = Premultiply(a);
            b = Premultiply(b);
            c = Premultiply(c);
            d = Premultiply(d);
        }
    } else {
        const int x0 = std::clamp(int(x0f), 0, w - 1);
        const int x1 = std::clamp(int(x0f) + 1, 0, w - 1);
        a = LoadPremultiplied(src, x0, y0);
        b = LoadPremultiplied(src, x1, y0);
        c = LoadPremultiplied(src, x0, y1);
        d = LoadPremultiplied(src, x1, y1);
    }
    const Px top = a + (b - a) * tx;
    const Px bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

// Bilinear sample at (fx, fy) where taps outside the picture are
// transparent, so the picture's outline fades over one pixel instead of
// being cut into stairs; premultiplied.
template <class Pixels>
LUMETRA_INLINE Px SampleTransparentOutside(const Pixels& src, float fx, float fy) {
    const int w = src.width;
    const int h = src.height;
    if (!(fx > -1.f && fx < float(w) && fy > -1.f && fy < float(h))) return Px{};
    const float x0f = std::floor(fx);
    const float y0f = std::floor(fy);
    const float tx = fx - x0f;
    const float ty = fy - y0f;
    const int x0 = int(x0f);
    const int y0 = int(y0f);
    if (x0 >= 0 && y0 >= 0 && x0 + 1 < w && y0 + 1 < h) {
        // All four taps inside, as for nearly every pixel: two reads.
        Px a, b, c, d;
        src.LoadPair(x0, y0, &a, &b);
        src.LoadPair(x0, y0 + 1, &c, &d);
        if constexpr (!Pixels::kOpaque) {
            a = Premultiply(a);
            b = Premultiply(b);
            c = Premultiply(c);
            d = Premultiply(d);
        }
        const Px top = a + (b - a) * tx;
        const Px bottom = c + (d - c) * tx;
        return top + (bottom - top) * ty;
    }
    Px acc{};
    const float wx[2] = {1.f - tx, tx};
    const float wy[2] = {1.f - ty, ty};
    for (int j = 0; j < 2; ++j) {
        const int y = y0 + j;
        if (y < 0 || y >= h || wy[j] == 0.f) continue;
        for (int i = 0; i < 2; ++i) {
            const int x = x0 + i;
            if (x < 0 || x >= w || wx[i] == 0.f) continue;
            acc += Premultiply(src.Load(x, y)) * (wx[i] * wy[j]);
        }
    }
    return acc;
}

}  // namespace lumetra::fx
