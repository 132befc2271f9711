// SPDX-License-Identifier: GPL-3.0-or-later
// Small pieces the effect kernels share: a pixel as one four-lane vector
// and its loads and stores, arrays of such vectors, premultiplication,
// smoothstep, and the nine blur weights.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "render/FastMath.h"
#include "render/Image.h"
#include "render/VectorMath.h"

namespace lumetra::fx {

// One RGBA pixel in one vector.
using Px = simd::Vec<4>::F;
// One RGBA pixel in double precision, for sums that single precision would
// round away.
typedef double D4 __attribute__((vector_size(32)));

// A growable array of vector values. std::vector cannot be used for them:
// the vector types' alignment is lost when they are template arguments.
template <class T>
class AlignedArray {
  public:
    void resize(std::size_t n) {
        if (n > capacity_) {
            const std::size_t bytes = ((n * sizeof(T) + 63) / 64) * 64;
            T* data = static_cast<T*>(std::aligned_alloc(64, bytes));
            if (!data) throw std::bad_alloc();
            data_.reset(data);
            capacity_ = n;
        }
        size_ = n;
    }
    void assign(std::size_t n, T value) {
        resize(n);
        std::fill(data_.get(), data_.get() + n, value);
    }
    std::size_t size() const { return size_; }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

  private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Pixels are read and written as whole vectors. The access type may alias
// floats and needs no more than float alignment, so GCC emits one vector
// load or store (through memcpy it sometimes split them into halves).
typedef float PxAccess __attribute__((vector_size(16), aligned(4), may_alias));
LUMETRA_INLINE Px LoadPx(const float* p) {
    return *reinterpret_cast<const PxAccess*>(p);
}
LUMETRA_INLINE void StorePx(float* p, Px v) {
    *reinterpret_cast<PxAccess*>(p) = v;
}

// Geometric effects read the source near a rotated or bent copy of where
// they write; walking each band of rows in blocks this many columns wide
// keeps a block's reads within a small area of the source.
inline constexpr int kColumnBlock = 64;

// Colour times alpha, alpha kept.
LUMETRA_INLINE Px Premultiply(Px p) {
    const float a = p[3];
    Px r = p * a;
    r[3] = a;
    return r;
}

// Back to straight alpha, clamped to 0..1. A pixel whose alpha is a
// rounding residue (below a millionth) becomes transparent black rather
// than showing its colour divided by almost nothing.
LUMETRA_INLINE Px Unpremultiply(Px p) {
    const float a = p[3];
    if (!(a > 1e-6f)) return Px{0.f, 0.f, 0.f, 0.f};
    Px r = p * (1.f / a);
    r[3] = a;
    return simd::Clamp01(r);
}

// Weights of the nine taps, four steps either side of the pixel, that the
// circle, motion and zoom blurs spread over their extent.
inline constexpr double kNineTapWeights[9] = {0.05, 0.09, 0.12, 0.15, 0.18, 0.15, 0.12, 0.09, 0.05};

// True when every value is a finite number.
template <class... T>
bool AllFinite(T... values) {
    return (std::isfinite(double(values)) && ...);
}

}  // namespace lumetra::fx
