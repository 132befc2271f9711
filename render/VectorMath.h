// SPDX-License-Identifier: GPL-3.0-or-later
// The fast power function written on whole vectors (GCC's vector
// extensions), so that it runs as vector code whatever the optimiser makes
// of branches: 4 lanes on baseline x86-64, 8 lanes in the AVX2 variants.
#pragma once

#include <cstring>

#include "render/FastMath.h"

namespace lumetra::simd {

template <int Lanes>
struct Vec {
    typedef float F __attribute__((vector_size(Lanes * 4)));
    typedef int I __attribute__((vector_size(Lanes * 4)));
};

template <class F>
LUMETRA_INLINE F Splat(float v) {
    return F{} + v;
}

template <class F>
LUMETRA_INLINE F Load(const float* p) {
    F v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class F>
LUMETRA_INLINE void Store(float* p, F v) {
    std::memcpy(p, &v, sizeof v);
}

// Lane-wise FastPow01 (see FastMath.h for the method and accuracy).
template <class F, class I>
LUMETRA_INLINE F Pow01(F x, F g, F atZero) {
    const I positive = x > Splat<F>(1e-30f);
    const F safe = positive ? x : Splat<F>(1.f);
    // log2
    const I bits = (I)safe;
    F exponent = __builtin_convertvector(((bits >> 23) & 0xff) - 127, F);
    F m = (F)((bits & 0x007fffff) | 0x3f800000);
    const I high = m > Splat<F>(1.41421356f);
    m = high ? m * 0.5f : m;
    exponent = high ? exponent + 1.f : exponent;
    const F t = (m - 1.f) / (m + 1.f);
    const F t2 = t * t;
    const F ln =
        t * (2.f + t2 * (0.666666667f + t2 * (0.4f + t2 * (0.285714286f + t2 * 0.222222222f))));
    F y = g * (exponent + ln * 1.44269504f);
    // exp2
    y = y > -126.f ? y : Splat<F>(-126.f);
    y = y < 127.f ? y : Splat<F>(127.f);
    const I whole = __builtin_convertvector(y + 128.5f, I) - 128;
    const F f = y - __builtin_convertvector(whole, F);
    const F p =
        1.f + f * (0.693147181f +
                   f * (0.240226507f +
                        f * (0.0555041087f +
                             f * (0.00961812911f + f * (0.00133335581f + f * 0.000154035304f)))));
    const F r = p * (F)((whole + 127) << 23);
    return positive ? r : atZero;
}

template <class F>
LUMETRA_INLINE F Clamp01(F v) {
    v = v > 0.f ? v : Splat<F>(0.f);
    return v < 1.f ? v : Splat<F>(1.f);
}

}  // namespace lumetra::simd
