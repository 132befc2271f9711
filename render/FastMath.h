// SPDX-License-Identifier: GPL-3.0-or-later
// Branch-free approximations the compiler can vectorise, for kernels that
// would otherwise call the C library once per channel of every pixel.
#pragma once

#include <bit>
#include <cstdint>

// The kernels' inner loops must see these bodies to vectorise them, also
// inside functions compiled for another instruction set.
#define LUMETRA_INLINE inline __attribute__((always_inline))
// The same for a lambda, written after its parameter list.
#define LUMETRA_INLINE_LAMBDA __attribute__((always_inline))

namespace lumetra {

// Clamp to 0..1; NaN becomes 0 so that no later stage or conversion sees it.
LUMETRA_INLINE float Clamp01(float v) {
    v = v > 0.f ? v : 0.f;
    return v < 1.f ? v : 1.f;
}

// log2(x) for positive, finite, normal x; absolute error below 2e-7.
LUMETRA_INLINE float FastLog2(float x) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    float exponent = float(int((bits >> 23) & 0xffu) - 127);
    float m = std::bit_cast<float>((bits & 0x007fffffu) | 0x3f800000u);  // [1, 2)
    // Centre the mantissa on 1 so that the series below converges fast.
    const bool high = m > 1.41421356f;
    m = high ? m * 0.5f : m;
    exponent = high ? exponent + 1.f : exponent;
    // ln(m) = 2 atanh(t), t = (m - 1) / (m + 1), |t| <= 0.172
    const float t = (m - 1.f) / (m + 1.f);
    const float t2 = t * t;
    const float ln =
        t * (2.f + t2 * (0.666666667f + t2 * (0.4f + t2 * (0.285714286f + t2 * 0.222222222f))));
    return exponent + ln * 1.44269504f;
}

// 2^y, relative error below 3e-7; y is clamped to the normal float range.
LUMETRA_INLINE float FastExp2(float y) {
    y = y > -126.f ? y : -126.f;  // also maps NaN to the low end
    y = y < 127.f ? y : 127.f;
    // Nearest integer: y + 128 is positive, so truncation rounds it down.
    const float n = float(int(y + 128.5f)) - 128.f;
    const float f = y - n;  // [-0.5, 0.5]
    const float p =
        1.f + f * (0.693147181f +
                   f * (0.240226507f +
                        f * (0.0555041087f +
                             f * (0.00961812911f + f * (0.00133335581f + f * 0.000154035304f)))));
    const std::uint32_t scale = std::uint32_t(int(n) + 127) << 23;
    return p * std::bit_cast<float>(scale);
}

// What x^g gives at x = 0: 0 for g > 0, 1 for g == 0, infinite for g < 0.
LUMETRA_INLINE float PowAtZero(float g) {
    return g > 0.f ? 0.f : (g == 0.f ? 1.f : 3.4e38f);
}

// x^g for x in 0..1 (the range every stage keeps), matching pow's special
// cases there; atZero is PowAtZero(g), computed once by the caller.
LUMETRA_INLINE float FastPow01(float x, float g, float atZero) {
    const bool positive = x > 1e-30f;
    const float safe = positive ? x : 1.f;
    const float r = FastExp2(g * FastLog2(safe));
    return positive ? r : atZero;
}

LUMETRA_INLINE float FastPow01(float x, float g) {
    return FastPow01(x, g, PowAtZero(g));
}

// The largest argument FastSinCos reduces as it is.
inline constexpr float kSinCosLimit = 1e5f;

// sin(x) and cos(x) for |x| below about 1e5, absolute error below 1e-6:
// the argument is reduced to a quarter turn about a multiple of pi / 2 and
// each function is a short polynomial there. Written without branches, so a
// loop over it becomes vector code. A larger argument, which no panel value
// reaches, is taken as +-kSinCosLimit and NaN as -kSinCosLimit: the quarter
// turns then always fit an int, and every argument gives a sine and cosine.
LUMETRA_INLINE void FastSinCos(float x, float* sine, float* cosine) {
    x = x > -kSinCosLimit ? x : -kSinCosLimit;  // also NaN
    x = x < kSinCosLimit ? x : kSinCosLimit;
    // Nearest multiple of pi / 2 (adding 1.5 * 2^23 rounds to an integer).
    const float k = (x * 0.636619772f + 12582912.f) - 12582912.f;
    const int quadrant = int(k);
    // x - k pi / 2 in two steps, so that the reduction loses no precision.
    const float r = (x - k * 1.5707963705062866f) + k * 4.371139000186243e-08f;
    const float r2 = r * r;
    const float s =
        r + r * r2 * (-1.6666654611e-1f + r2 * (8.3321608736e-3f + r2 * -1.9515295891e-4f));
    const float c =
        1.f - 0.5f * r2 +
        r2 * r2 *
            (4.166664568298827e-2f + r2 * (-1.388731625493765e-3f + r2 * 2.443315711809948e-5f));
    const bool swap = (quadrant & 1) != 0;
    const float sAbs = swap ? c : s;
    const float cAbs = swap ? s : c;
    *sine = (quadrant & 2) != 0 ? -sAbs : sAbs;
    *cosine = ((quadrant + 1) & 2) != 0 ? -cAbs : cAbs;
}

}  // namespace lumetra
