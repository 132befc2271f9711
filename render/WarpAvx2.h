// SPDX-License-Identifier: GPL-3.0-or-later
// Bilinear sampling of an 8-bit picture eight points at a time, for the
// effects that move pixels (rotation, swirl, glass sphere, 3D transform) on
// processors with AVX2. Each output pixel of these effects reads four
// neighbouring source pixels at a computed point; done one pixel at a time,
// the point's arithmetic and the unpacking of bytes cost far more than the
// reads. Here eight points are computed side by side, the four taps of all
// eight are fetched with gathers (one 32-bit word is one whole pixel), and
// the channels are blended as eight-lane vectors, one vector per channel.
//
// Every function here carries the AVX2 target; call them only from
// functions that carry it too, after CpuHasAvx2().
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/CpuDispatch.h"
#include "render/FastMath.h"
#include "render/Image.h"

#if LUMETRA_HAS_AVX2_VARIANT

#include <immintrin.h>

namespace lumetra::fx::avx2 {

// Eight pixels, one vector per channel, values 0..1.
struct Px8 {
    __m256 r, g, b, a;
};

// How taps beyond the picture's border are read.
enum class Edge {
    Clamp,        // the nearest edge pixel, repeated outward
    Transparent,  // transparent, so the outline fades over one pixel
};

// An 8-bit picture as the gathers read it.
struct BytePicture {
    const int* words;          // one 32-bit word per pixel
    std::ptrdiff_t rowPixels;  // words (pixels) per row
    int width;
    int height;
    bool bgra;    // bytes B, G, R, A in memory (else R, G, B, A)
    bool opaque;  // the fourth byte is not alpha: every pixel is opaque
};

LUMETRA_TARGET_AVX2 inline __m256 Splat8(float v) {
    return _mm256_set1_ps(v);
}

// The channel at byte `shift` of eight words, as 0..1.
LUMETRA_TARGET_AVX2 inline __m256 ByteChannel(__m256i words, int shift) {
    const __m256i bytes = _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_set1_epi32(shift)),
                                           _mm256_set1_epi32(0xff));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(bytes), _mm256_set1_ps(1.f / 255.f));
}

// ByteChannel divided rather than multiplied by the reciprocal: exactly the
// float the engine gives these bytes elsewhere.
LUMETRA_TARGET_AVX2 inline __m256 ExactByteChannel(__m256i words, int shift) {
    const __m256i bytes = _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_set1_epi32(shift)),
                                           _mm256_set1_epi32(0xff));
    return _mm256_div_ps(_mm256_cvtepi32_ps(bytes), _mm256_set1_ps(255.f));
}

LUMETRA_TARGET_AVX2 inline __m256i ClampIndex(__m256i v, __m256i low, __m256i high) {
    return _mm256_min_epi32(_mm256_max_epi32(v, low), high);
}

// All ones in the lanes where v is below 0 or above last.
LUMETRA_TARGET_AVX2 inline __m256 OutsideIndex(__m256i v, __m256i last) {
    return _mm256_castsi256_ps(_mm256_or_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), v),
                                               _mm256_cmpgt_epi32(v, last)));
}

// One channel of four taps, times their weights, summed.
LUMETRA_TARGET_AVX2 inline __m256 BlendChannel(int shift, __m256i wa, __m256i wb, __m256i wc,
                                               __m256i wd, __m256 ka, __m256 kb, __m256 kc,
                                               __m256 kd) {
    __m256 sum = _mm256_mul_ps(ByteChannel(wa, shift), ka);
    sum = _mm256_fmadd_ps(ByteChannel(wb, shift), kb, sum);
    sum = _mm256_fmadd_ps(ByteChannel(wc, shift), kc, sum);
    return _mm256_fmadd_ps(ByteChannel(wd, shift), kd, sum);
}

// The four taps of eight bilinear samples: pixel indexes (row times
// rowPixels plus column) and weights.
struct Taps {
    __m256i ia, ib, ic, id;  // top left, top right, bottom left, bottom right
    __m256 ka, kb, kc, kd;
};

// The taps of eight points (fx, fy) in pixel-index space (pixel centres at
// whole numbers) on a picture of the given size. Points that are NaN read
// the pixel at 0.
template <Edge kEdge>
LUMETRA_TARGET_AVX2 inline Taps BilinearTaps(int width, int height, std::ptrdiff_t rowPixels,
                                             __m256 fx, __m256 fy) {
    const __m256 minusOne = _mm256_set1_ps(-1.f);
    // Far points give the same taps as a point just beyond the edge; the
    // max and min also turn NaN into -1.
    fx = _mm256_min_ps(_mm256_max_ps(fx, minusOne), _mm256_set1_ps(float(width)));
    fy = _mm256_min_ps(_mm256_max_ps(fy, minusOne), _mm256_set1_ps(float(height)));
    const __m256 x0f = _mm256_floor_ps(fx);
    const __m256 y0f = _mm256_floor_ps(fy);
    const __m256 tx = _mm256_sub_ps(fx, x0f);
    const __m256 ty = _mm256_sub_ps(fy, y0f);
    const __m256i x0 = _mm256_cvttps_epi32(x0f);
    const __m256i y0 = _mm256_cvttps_epi32(y0f);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i x1 = _mm256_add_epi32(x0, one);
    const __m256i y1 = _mm256_add_epi32(y0, one);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lastX = _mm256_set1_epi32(width - 1);
    const __m256i lastY = _mm256_set1_epi32(height - 1);
    const __m256i cx0 = ClampIndex(x0, zero, lastX), cx1 = ClampIndex(x1, zero, lastX);
    const __m256i stride = _mm256_set1_epi32(int(rowPixels));
    const __m256i r0 = _mm256_mullo_epi32(ClampIndex(y0, zero, lastY), stride);
    const __m256i r1 = _mm256_mullo_epi32(ClampIndex(y1, zero, lastY), stride);

    const __m256 oneF = _mm256_set1_ps(1.f);
    __m256 wx0 = _mm256_sub_ps(oneF, tx), wx1 = tx;
    __m256 wy0 = _mm256_sub_ps(oneF, ty), wy1 = ty;
    if constexpr (kEdge == Edge::Transparent) {
        // Taps outside the picture weigh nothing.
        wx0 = _mm256_andnot_ps(OutsideIndex(x0, lastX), wx0);
        wx1 = _mm256_andnot_ps(OutsideIndex(x1, lastX), wx1);
        wy0 = _mm256_andnot_ps(OutsideIndex(y0, lastY), wy0);
        wy1 = _mm256_andnot_ps(OutsideIndex(y1, lastY), wy1);
    }
    return {_mm256_add_epi32(r0, cx0), _mm256_add_epi32(r0, cx1), _mm256_add_epi32(r1, cx0),
            _mm256_add_epi32(r1, cx1), _mm256_mul_ps(wx0, wy0),   _mm256_mul_ps(wx1, wy0),
            _mm256_mul_ps(wx0, wy1),   _mm256_mul_ps(wx1, wy1)};
}

// The taps blended, premultiplied by alpha.
LUMETRA_TARGET_AVX2 inline Px8 Blend(const BytePicture& pic, const Taps& t) {
    const __m256i wa = _mm256_i32gather_epi32(pic.words, t.ia, 4);
    const __m256i wb = _mm256_i32gather_epi32(pic.words, t.ib, 4);
    const __m256i wc = _mm256_i32gather_epi32(pic.words, t.ic, 4);
    const __m256i wd = _mm256_i32gather_epi32(pic.words, t.id, 4);
    const int redShift = pic.bgra ? 16 : 0;
    const int blueShift = pic.bgra ? 0 : 16;
    Px8 out;
    if (pic.opaque) {
        out.r = BlendChannel(redShift, wa, wb, wc, wd, t.ka, t.kb, t.kc, t.kd);
        out.g = BlendChannel(8, wa, wb, wc, wd, t.ka, t.kb, t.kc, t.kd);
        out.b = BlendChannel(blueShift, wa, wb, wc, wd, t.ka, t.kb, t.kc, t.kd);
        out.a = _mm256_add_ps(_mm256_add_ps(t.ka, t.kb), _mm256_add_ps(t.kc, t.kd));
    } else {
        // Colours weighted by their alpha: a transparent tap adds no colour.
        const __m256 aa = ByteChannel(wa, 24), ab = ByteChannel(wb, 24);
        const __m256 ac = ByteChannel(wc, 24), ad = ByteChannel(wd, 24);
        const __m256 pa = _mm256_mul_ps(t.ka, aa), pb = _mm256_mul_ps(t.kb, ab);
        const __m256 pc = _mm256_mul_ps(t.kc, ac), pd = _mm256_mul_ps(t.kd, ad);
        out.r = BlendChannel(redShift, wa, wb, wc, wd, pa, pb, pc, pd);
        out.g = BlendChannel(8, wa, wb, wc, wd, pa, pb, pc, pd);
        out.b = BlendChannel(blueShift, wa, wb, wc, wd, pa, pb, pc, pd);
        out.a = _mm256_add_ps(_mm256_add_ps(pa, pb), _mm256_add_ps(pc, pd));
    }
    return out;
}

// A float picture as the gathers read it: four floats a pixel.
struct FloatPicture {
    const float* base;
    std::ptrdiff_t rowPixels;
    int width;
    int height;
    static constexpr bool opaque = false;
};

// One channel of eight pixels of a float picture.
LUMETRA_TARGET_AVX2 inline __m256 FloatChannel(const FloatPicture& pic, __m256i pixels,
                                               int channel) {
    return _mm256_i32gather_ps(pic.base + channel, _mm256_slli_epi32(pixels, 2), 4);
}

// Rows r[0..7] become columns: r[c] afterwards holds element c of every
// former row.
LUMETRA_TARGET_AVX2 inline void Transpose8(__m256 r[8]) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(s0, s4, 0x20);
    r[1] = _mm256_permute2f128_ps(s1, s5, 0x20);
    r[2] = _mm256_permute2f128_ps(s2, s6, 0x20);
    r[3] = _mm256_permute2f128_ps(s3, s7, 0x20);
    r[4] = _mm256_permute2f128_ps(s0, s4, 0x31);
    r[5] = _mm256_permute2f128_ps(s1, s5, 0x31);
    r[6] = _mm256_permute2f128_ps(s2, s6, 0x31);
    r[7] = _mm256_permute2f128_ps(s3, s7, 0x31);
}

// The pixels at `left` and the pixel after each, of eight points, as one
// vector per channel: out[0..3] the left pixels' R, G, B, A, out[4..7] the
// right ones'. Each pair is one 32-byte read, turned into channels by a
// transpose: far cheaper than eight gathers of scattered floats.
LUMETRA_TARGET_AVX2 inline void LoadPairs(const FloatPicture& pic, __m256i left, __m256 out[8]) {
    alignas(32) int index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), left);
    for (int i = 0; i < 8; ++i) out[i] = _mm256_loadu_ps(pic.base + 4 * std::ptrdiff_t(index[i]));
    Transpose8(out);
}

LUMETRA_TARGET_AVX2 inline Px8 Blend(const FloatPicture& pic, const Taps& t) {
    Px8 out;
    const __m256i one = _mm256_set1_epi32(1);
    // Nearly always both taps of a row are neighbours (they are one pixel
    // only where a point is cut to the picture's edge): then each row's pair
    // is read at once. The arithmetic is the same either way.
    const bool pairs = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(
                           _mm256_cmpeq_epi32(t.ib, _mm256_add_epi32(t.ia, one)),
                           _mm256_cmpeq_epi32(t.id, _mm256_add_epi32(t.ic, one))))) == 0xff;
    if (pairs) {
        __m256 top[8], bottom[8];
        LoadPairs(pic, t.ia, top);
        LoadPairs(pic, t.ic, bottom);
        const __m256 pa = _mm256_mul_ps(t.ka, top[3]);
        const __m256 pb = _mm256_mul_ps(t.kb, top[7]);
        const __m256 pc = _mm256_mul_ps(t.kc, bottom[3]);
        const __m256 pd = _mm256_mul_ps(t.kd, bottom[7]);
        __m256* channels[3] = {&out.r, &out.g, &out.b};
        for (int c = 0; c < 3; ++c) {
            __m256 sum = _mm256_mul_ps(top[c], pa);
            sum = _mm256_fmadd_ps(top[4 + c], pb, sum);
            sum = _mm256_fmadd_ps(bottom[c], pc, sum);
            *channels[c] = _mm256_fmadd_ps(bottom[4 + c], pd, sum);
        }
        out.a = _mm256_add_ps(_mm256_add_ps(pa, pb), _mm256_add_ps(pc, pd));
        return out;
    }
    const __m256 pa = _mm256_mul_ps(t.ka, FloatChannel(pic, t.ia, 3));
    const __m256 pb = _mm256_mul_ps(t.kb, FloatChannel(pic, t.ib, 3));
    const __m256 pc = _mm256_mul_ps(t.kc, FloatChannel(pic, t.ic, 3));
    const __m256 pd = _mm256_mul_ps(t.kd, FloatChannel(pic, t.id, 3));
    __m256* channels[3] = {&out.r, &out.g, &out.b};
    for (int c = 0; c < 3; ++c) {
        __m256 sum = _mm256_mul_ps(FloatChannel(pic, t.ia, c), pa);
        sum = _mm256_fmadd_ps(FloatChannel(pic, t.ib, c), pb, sum);
        sum = _mm256_fmadd_ps(FloatChannel(pic, t.ic, c), pc, sum);
        *channels[c] = _mm256_fmadd_ps(FloatChannel(pic, t.id, c), pd, sum);
    }
    out.a = _mm256_add_ps(_mm256_add_ps(pa, pb), _mm256_add_ps(pc, pd));
    return out;
}

// Bilinear sample of eight points (fx, fy) in pixel-index space, taps
// beyond the border read as kEdge says; premultiplied by alpha.
template <Edge kEdge, class Picture>
LUMETRA_TARGET_AVX2 inline Px8 Sample(const Picture& pic, __m256 fx, __m256 fy) {
    return Blend(pic, BilinearTaps<kEdge>(pic.width, pic.height, pic.rowPixels, fx, fy));
}

LUMETRA_TARGET_AVX2 inline Px8 LoadRow(const FloatPicture& pic, int x, int y) {
    const float* p = pic.base + 4 * (std::ptrdiff_t(y) * pic.rowPixels + x);
    __m256 rows[8];
    for (int i = 0; i < 8; ++i) rows[i] = _mm256_castps128_ps256(_mm_loadu_ps(p + 4 * i));
    Transpose8(rows);  // only the first four columns are used
    return {rows[0], rows[1], rows[2], rows[3]};
}

// Eight pixels of a row, from (x, y) on, as they are (straight alpha).
LUMETRA_TARGET_AVX2 inline Px8 LoadRow(const BytePicture& pic, int x, int y) {
    const __m256i words = _mm256_loadu_si256(
        reinterpret_cast<const __m256i*>(pic.words + std::ptrdiff_t(y) * pic.rowPixels + x));
    // Copied pixels keep exactly the values they have elsewhere.
    Px8 p;
    p.r = ExactByteChannel(words, pic.bgra ? 16 : 0);
    p.g = ExactByteChannel(words, 8);
    p.b = ExactByteChannel(words, pic.bgra ? 0 : 16);
    p.a = pic.opaque ? _mm256_set1_ps(1.f) : ExactByteChannel(words, 24);
    return p;
}

// Lanes of `on` where `mask` is set, of `off` elsewhere.
LUMETRA_TARGET_AVX2 inline Px8 Select(__m256 mask, const Px8& on, const Px8& off) {
    return {_mm256_blendv_ps(off.r, on.r, mask), _mm256_blendv_ps(off.g, on.g, mask),
            _mm256_blendv_ps(off.b, on.b, mask), _mm256_blendv_ps(off.a, on.a, mask)};
}

// The gathers address pixels with 32-bit word indexes.
inline bool FitsGather(std::ptrdiff_t rowPixels, int height) {
    return rowPixels > 0 && height > 0 &&
           rowPixels * std::ptrdiff_t(height) < (std::ptrdiff_t(1) << 31);
}

// The 8-bit picture `image` as the gathers read it; false for a float
// picture, or one too large for 32-bit indexes.
inline bool ReadAsBytes(const Image& image, BytePicture* pic) {
    if (image.isFloat() || image.isEmpty()) return false;
    const QImage& bytes = image.eightBit();
    const std::ptrdiff_t rowPixels = bytes.bytesPerLine() / 4;
    if (bytes.bytesPerLine() % 4 != 0 || !FitsGather(rowPixels, image.height())) return false;
    *pic = {reinterpret_cast<const int*>(bytes.constBits()),
            rowPixels,
            image.width(),
            image.height(),
            image.eightBitIsBgra(),
            !bytes.hasAlphaChannel()};
    return true;
}

// The float picture `image` as the gathers read it; false for an 8-bit
// picture, or one too large for 32-bit indexes.
inline bool ReadAsFloats(const Image& image, FloatPicture* pic) {
    if (!image.isFloat() || image.isEmpty()) return false;
    // Float indexes are four times the pixel indexes.
    if (!FitsGather(std::ptrdiff_t(image.rowFloats()), image.height())) return false;
    *pic = {image.row(0), std::ptrdiff_t(image.width()), image.width(), image.height()};
    return true;
}

LUMETRA_TARGET_AVX2 inline __m256 Clamp01(__m256 v) {
    return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(1.f));
}

// Back to straight alpha, clamped to 0..1; an alpha below a millionth gives
// transparent black.
LUMETRA_TARGET_AVX2 inline Px8 Unpremultiply(Px8 p) {
    const __m256 visible = _mm256_cmp_ps(p.a, _mm256_set1_ps(1e-6f), _CMP_GT_OQ);
    const __m256 inv = _mm256_and_ps(visible, _mm256_div_ps(_mm256_set1_ps(1.f), p.a));
    return {Clamp01(_mm256_mul_ps(p.r, inv)), Clamp01(_mm256_mul_ps(p.g, inv)),
            Clamp01(_mm256_mul_ps(p.b, inv)), Clamp01(_mm256_and_ps(p.a, visible))};
}

// Writes eight pixels as R, G, B, A floats, the engine's float layout.
LUMETRA_TARGET_AVX2 inline void Store(float* dst, const Px8& p) {
    const __m256 rg0 = _mm256_unpacklo_ps(p.r, p.g);  // r0 g0 r1 g1 | r4 g4 r5 g5
    const __m256 rg1 = _mm256_unpackhi_ps(p.r, p.g);  // r2 g2 r3 g3 | r6 g6 r7 g7
    const __m256 ba0 = _mm256_unpacklo_ps(p.b, p.a);
    const __m256 ba1 = _mm256_unpackhi_ps(p.b, p.a);
    const __m256 p01 = _mm256_shuffle_ps(rg0, ba0, 0x44);  // px0 px1 | px4 px5 (first halves)
    const __m256 q01 = _mm256_shuffle_ps(rg0, ba0, 0xEE);
    const __m256 p23 = _mm256_shuffle_ps(rg1, ba1, 0x44);
    const __m256 q23 = _mm256_shuffle_ps(rg1, ba1, 0xEE);
    // p01 = r0 g0 b0 a0 | r4 g4 b4 a4, q01 = pixels 1 and 5, p23 = 2 and 6, q23 = 3 and 7.
    _mm256_storeu_ps(dst + 0, _mm256_permute2f128_ps(p01, q01, 0x20));
    _mm256_storeu_ps(dst + 8, _mm256_permute2f128_ps(p23, q23, 0x20));
    _mm256_storeu_ps(dst + 16, _mm256_permute2f128_ps(p01, q01, 0x31));
    _mm256_storeu_ps(dst + 24, _mm256_permute2f128_ps(p23, q23, 0x31));
}

// Eight pixels sampled at (fx, fy) with nothing beyond the picture's edge,
// straight alpha, into dst; where no tap of the picture reaches any of the
// eight points they are written transparent without sampling.
template <class Picture>
LUMETRA_TARGET_AVX2 inline void StoreSampledOrClear(float* dst, const Picture& pic, __m256 fx,
                                                    __m256 fy) {
    const __m256 minusOne = _mm256_set1_ps(-1.f);
    const __m256 near = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(fx, minusOne, _CMP_GT_OQ),
                      _mm256_cmp_ps(fx, _mm256_set1_ps(float(pic.width)), _CMP_LT_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(fy, minusOne, _CMP_GT_OQ),
                      _mm256_cmp_ps(fy, _mm256_set1_ps(float(pic.height)), _CMP_LT_OQ)));
    if (_mm256_movemask_ps(near) == 0) {
        const __m256 zero = _mm256_setzero_ps();
        Store(dst, Px8{zero, zero, zero, zero});
        return;
    }
    Store(dst, Unpremultiply(Sample<Edge::Transparent>(pic, fx, fy)));
}

// sin and cos of eight angles (|x| below about 1e5, error below 1e-6),
// the same method and the same limits as FastSinCos (max and min take
// their second operand for NaN, so NaN becomes -kSinCosLimit there too).
LUMETRA_TARGET_AVX2 inline void SinCos(__m256 x, __m256* sine, __m256* cosine) {
    x = _mm256_min_ps(_mm256_max_ps(x, _mm256_set1_ps(-kSinCosLimit)),
                      _mm256_set1_ps(kSinCosLimit));
    const __m256 k = _mm256_round_ps(_mm256_mul_ps(x, _mm256_set1_ps(0.636619772f)),
                                     _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256i quadrant = _mm256_cvtps_epi32(k);
    const __m256 r = _mm256_fmadd_ps(k, _mm256_set1_ps(4.371139000186243e-08f),
                                     _mm256_fnmadd_ps(k, _mm256_set1_ps(1.5707963705062866f), x));
    const __m256 r2 = _mm256_mul_ps(r, r);
    __m256 sp =
        _mm256_fmadd_ps(r2, _mm256_set1_ps(-1.9515295891e-4f), _mm256_set1_ps(8.3321608736e-3f));
    sp = _mm256_fmadd_ps(r2, sp, _mm256_set1_ps(-1.6666654611e-1f));
    const __m256 s = _mm256_fmadd_ps(_mm256_mul_ps(r, r2), sp, r);
    __m256 cp = _mm256_fmadd_ps(r2, _mm256_set1_ps(2.443315711809948e-5f),
                                _mm256_set1_ps(-1.388731625493765e-3f));
    cp = _mm256_fmadd_ps(r2, cp, _mm256_set1_ps(4.166664568298827e-2f));
    const __m256 c = _mm256_fmadd_ps(
        _mm256_mul_ps(r2, r2), cp, _mm256_fnmadd_ps(_mm256_set1_ps(0.5f), r2, _mm256_set1_ps(1.f)));
    const __m256 swap = _mm256_castsi256_ps(
        _mm256_cmpeq_epi32(_mm256_and_si256(quadrant, _mm256_set1_epi32(1)), _mm256_set1_epi32(1)));
    const __m256 sAbs = _mm256_blendv_ps(s, c, swap);
    const __m256 cAbs = _mm256_blendv_ps(c, s, swap);
    const __m256 signBit = _mm256_castsi256_ps(_mm256_set1_epi32(int(0x80000000u)));
    const __m256 sNeg = _mm256_castsi256_ps(
        _mm256_slli_epi32(_mm256_and_si256(quadrant, _mm256_set1_epi32(2)), 30));
    const __m256 cNeg = _mm256_castsi256_ps(_mm256_slli_epi32(
        _mm256_and_si256(_mm256_add_epi32(quadrant, _mm256_set1_epi32(1)), _mm256_set1_epi32(2)),
        30));
    *sine = _mm256_xor_ps(sAbs, _mm256_and_ps(sNeg, signBit));
    *cosine = _mm256_xor_ps(cAbs, _mm256_and_ps(cNeg, signBit));
}

// 0, 1, ..., 7 added to a start column.
LUMETRA_TARGET_AVX2 inline __m256 Columns(int x) {
    return _mm256_add_ps(_mm256_set1_ps(float(x)), _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7));
}

}  // namespace lumetra::fx::avx2

#endif  // LUMETRA_HAS_AVX2_VARIANT
