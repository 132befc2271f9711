// SPDX-License-Identifier: GPL-3.0-or-later
// Deriche's fourth-order recursive Gaussian (R. Deriche, "Recursively
// implementing the Gaussian and its derivatives", 1993): each direction is a
// causal and an anti-causal recursion whose sum is the blurred line, each
// run as two second-order sections side by side.
//
// The horizontal pass blurs each row into an intermediate picture; the
// vertical pass then walks strips of a few columns down and back up, so a
// strip's intermediate values are still in cache on the way back.
#include "render/Gaussian.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/Parallel.h"

namespace lumetra::fx {
namespace {

// Columns per vertical strip: each row of a strip is one run of 4 KB, long
// enough for the memory prefetcher (runs of 1 KB, 64 columns, left the pass
// waiting for memory: 15 % slower on a 24-megapixel photo), while the
// strip's state stays in the second-level cache.
constexpr int kStripWidth = 256;

// Up to this sigma the recursions run in single precision: their rounding
// then stays below the filter's own departure from the exact Gaussian
// (0.0001 on a step, 0.0002 on noise at sigma 100), and eight lanes of
// float hold both sections of a pixel in one AVX register. Wider blurs, whose
// poles lie closer to 1, run in double precision.
constexpr double kSinglePrecisionSigma = 100.0;

typedef float F8 __attribute__((vector_size(32)));
typedef double D8 __attribute__((vector_size(64)));

// Deriche's kernel is the sum of two damped cosines, so each recursion is
// the sum of two second-order sections, one per cosine, run side by side:
// lanes 0-3 hold the first section of a pixel's four channels, lanes 4-7
// the second. (In this form rounding grows with the square of sigma, not
// its fourth power as in the single fourth-order recursion.)
template <class V>
struct Sections {
    V n0, n1;      // causal feed-forward, x[i] and x[i-1]
    V m1, m2;      // anti-causal feed-forward, x[i+1] and x[i+2]
    V d1, d2;      // feedback, y[i-+1] and y[i-+2], shared by both directions
    V causalEdge;  // steady outputs for a constant input of 1
    V anticausalEdge;
};

template <class V>
Sections<V> MakeSections(double sigma) {
    // Deriche's fit of the Gaussian by two damped cosines.
    const double a[2] = {1.680, -0.6803}, b[2] = {3.735, -0.2598};
    const double decay[2] = {1.783, 1.723}, freq[2] = {0.6318, 1.997};
    double n0[2], n1[2], m1[2], m2[2], d1[2], d2[2], causal[2], anticausal[2];
    double gain = 0.0;
    for (int s = 0; s < 2; ++s) {
        const double e = std::exp(-decay[s] / sigma);
        const double c = std::cos(freq[s] / sigma), sn = std::sin(freq[s] / sigma);
        d1[s] = -2 * e * c;
        d2[s] = e * e;
        n0[s] = a[s];
        n1[s] = e * (b[s] * sn - a[s] * c);
        // The kernel is symmetric: the anti-causal taps mirror the causal ones.
        m1[s] = n1[s] - d1[s] * n0[s];
        m2[s] = -d2[s] * n0[s];
        const double feedback = 1 + d1[s] + d2[s];
        causal[s] = (n0[s] + n1[s]) / feedback;
        anticausal[s] = (m1[s] + m2[s]) / feedback;
        gain += causal[s] + anticausal[s];
    }
    // Scaled so that the whole kernel sums to one.
    const double scale = 1.0 / gain;
    const auto lanes = [](const double(&v)[2], double by) {
        V out;
        for (int i = 0; i < 8; ++i) out[i] = v[i / 4] * by;
        return out;
    };
    return {lanes(n0, scale), lanes(n1, scale), lanes(m1, scale),     lanes(m2, scale),
            lanes(d1, 1.0),   lanes(d2, 1.0),   lanes(causal, scale), lanes(anticausal, scale)};
}

// A pixel in both sections' lanes, and the two sections' sum as a pixel.
template <class V>
LUMETRA_INLINE V Both(Px p) {
    if constexpr (sizeof(V) == sizeof(F8)) {
        return __builtin_shufflevector(p, p, 0, 1, 2, 3, 0, 1, 2, 3);
    } else {
        const D4 d = __builtin_convertvector(p, D4);
        return __builtin_shufflevector(d, d, 0, 1, 2, 3, 0, 1, 2, 3);
    }
}
template <class V>
LUMETRA_INLINE Px Fold(V v) {
    const auto sum =
        __builtin_shufflevector(v, v, 0, 1, 2, 3) + __builtin_shufflevector(v, v, 4, 5, 6, 7);
    if constexpr (sizeof(V) == sizeof(F8))
        return sum;
    else
        return __builtin_convertvector(sum, Px);
}

// One row: premultiplied input kept in `xs`, causal outputs in `causal`.
// Both passes blur the difference from a line's first pixel and add it back,
// so a flat line comes out exactly as it went in: the recursions amplify
// their rounding by hundreds at the sigmas of the panel.
template <class V>
LUMETRA_INLINE void RowBody(const float* src, bool premultiplied, float* dst, int n,
                            const Sections<V>& k, Px* xs, Px* causal) {
    const Px base = premultiplied ? LoadPx(src) : Premultiply(LoadPx(src));
    if (premultiplied) {
        for (int i = 0; i < n; ++i) xs[i] = LoadPx(src + 4 * i) - base;
    } else {
        for (int i = 0; i < n; ++i) xs[i] = Premultiply(LoadPx(src + 4 * i)) - base;
    }

    // Causal, with the first pixel repeated before the row.
    V x1 = Both<V>(xs[0]);
    V y1 = x1 * k.causalEdge, y2 = y1;
    for (int i = 0; i < n; ++i) {
        const V x = Both<V>(xs[i]);
        const V y = (k.n0 * x + k.n1 * x1 - k.d2 * y2) - k.d1 * y1;
        causal[i] = Fold(y);
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    // Anti-causal, with the last pixel repeated after the row.
    x1 = Both<V>(xs[n - 1]);
    V x2 = x1;
    y1 = x1 * k.anticausalEdge;
    y2 = y1;
    for (int i = n - 1; i >= 0; --i) {
        const V y = (k.m1 * x1 + k.m2 * x2 - k.d2 * y2) - k.d1 * y1;
        StorePx(dst + 4 * i, (causal[i] + Fold(y)) + base);
        x2 = x1;
        x1 = Both<V>(xs[i]);
        y2 = y1;
        y1 = y;
    }
}

// The last two inputs and outputs of each column of a vertical strip, in
// rings: row y sits in slot y & 1.
template <class V>
struct StripState {
    Px base[kStripWidth];  // each column's first row, taken from its inputs
    V x[2][kStripWidth];
    V y[2][kStripWidth];
};

// Columns [x0, x0 + count) of the horizontally blurred picture, down and back
// up; every finished row of the strip goes to `finish`. The way down leaves
// its (causal) half of the result in the target's own pixels, where the way
// back up adds the other half: no buffer of the strip's height is needed.
template <class V>
LUMETRA_INLINE void StripBody(const Image& rows, int h, int x0, int count, const Sections<V>& k,
                              StripState<V>& s, int regionX, int regionY, Image& target,
                              const FinishRun& finish, const Image* finishReads) {
    auto at = [&](int y) { return rows.row(y) + 4 * x0; };
    auto targetAt = [&](int y) { return target.row(regionY + y) + 4 * (regionX + x0); };
    // Each row of the strip is one short run far from the last: fetch a few
    // rows ahead, or every run waits for memory.
    auto prefetch = [&](const float* p, int forWrite) {
        for (int c = 0; c < count; c += 4) {
            if (forWrite)
                __builtin_prefetch(p + 4 * c, 1);
            else
                __builtin_prefetch(p + 4 * c, 0);
        }
    };
    constexpr int kAhead = 12;

    // Causal, with the first row repeated above the picture.
    for (int c = 0; c < count; ++c) {
        s.base[c] = LoadPx(at(0) + 4 * c);
        for (int slot = 0; slot < 2; ++slot) s.x[slot][c] = s.y[slot][c] = V{};
    }
    for (int y = 0; y < h; ++y) {
        if (y + kAhead < h) {
            prefetch(at(y + kAhead), 0);
            prefetch(targetAt(y + kAhead), 1);
        }
        const float* in = at(y);
        V* xs = s.x[y & 1];  // row y - 2's slot, replaced by this row's input
        const V* x1s = s.x[(y + 1) & 1];
        const V* y1 = s.y[(y + 1) & 1];
        V* y2 = s.y[y & 1];  // the older output, replaced by this row's
        float* out = targetAt(y);
        for (int c = 0; c < count; ++c) {
            const V x = Both<V>(LoadPx(in + 4 * c) - s.base[c]);
            const V v = (k.n0 * x + k.n1 * x1s[c] - k.d2 * y2[c]) - k.d1 * y1[c];
            xs[c] = x;
            y2[c] = v;
            StorePx(out + 4 * c, Fold(v) + s.base[c]);
        }
    }

    // Anti-causal, with the last row repeated below the picture.
    for (int c = 0; c < count; ++c) {
        const V edge = Both<V>(LoadPx(at(h - 1) + 4 * c) - s.base[c]);
        for (int slot = 0; slot < 2; ++slot) {
            s.x[slot][c] = edge;
            s.y[slot][c] = edge * k.anticausalEdge;
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        float* done = targetAt(y);
        if (y - kAhead >= 0) {
            prefetch(targetAt(y - kAhead), 1);
            if (finishReads)
                prefetch(finishReads->row(regionY + y - kAhead) + 4 * (regionX + x0), 0);
        }
        const float* in = at(y);
        const V* x1s = s.x[(y + 1) & 1];
        V* x2s = s.x[y & 1];  // row y + 2, replaced by row y once used
        const V* y1 = s.y[(y + 1) & 1];
        V* y2 = s.y[y & 1];
        for (int c = 0; c < count; ++c) {
            const V v = (k.m1 * x1s[c] + k.m2 * x2s[c] - k.d2 * y2[c]) - k.d1 * y1[c];
            x2s[c] = Both<V>(LoadPx(in + 4 * c) - s.base[c]);
            y2[c] = v;
            StorePx(done + 4 * c, LoadPx(done + 4 * c) + Fold(v));
        }
        finish(regionX + x0, regionY + y, count, done);
    }
}

template <class V>
void Row(const float* src, bool premultiplied, float* dst, int n, const Sections<V>& k, Px* xs,
         Px* causal) {
    RowBody(src, premultiplied, dst, n, k, xs, causal);
}
template <class V>
void Strip(const Image& rows, int h, int x0, int count, const Sections<V>& k, StripState<V>& s,
           int regionX, int regionY, Image& target, const FinishRun& finish,
           const Image* finishReads) {
    StripBody(rows, h, x0, count, k, s, regionX, regionY, target, finish, finishReads);
}

#if LUMETRA_HAS_AVX2_VARIANT
template <class V>
LUMETRA_TARGET_AVX2 void RowAvx2(const float* src, bool premultiplied, float* dst, int n,
                                 const Sections<V>& k, Px* xs, Px* causal) {
    RowBody(src, premultiplied, dst, n, k, xs, causal);
}
template <class V>
LUMETRA_TARGET_AVX2 void StripAvx2(const Image& rows, int h, int x0, int count,
                                   const Sections<V>& k, StripState<V>& s, int regionX, int regionY,
                                   Image& target, const FinishRun& finish,
                                   const Image* finishReads) {
    StripBody(rows, h, x0, count, k, s, regionX, regionY, target, finish, finishReads);
}
#endif

// Small sigmas are blurred directly: the sampled Gaussian over four sigmas
// either side, both directions in one sweep down a tile of columns. Each row
// is blurred across into a ring of the last rows, and each finished row is
// the weighted sum of the ring, which stays in the second-level cache. The
// picture is read once and written once, where the recursive filter goes
// through memory five times; below this sigma its few taps cost less than
// that traffic (the cartoon's blur of 2 pixels: 150 to 60 ms on a
// 24-megapixel photo).
constexpr double kDirectSigma = 3.0;
constexpr int kDirectTile = 512;      // columns per tile
constexpr int kDirectBandRows = 256;  // rows per band, at least

// out[f] = sum over k of weight[|k - reach|] * in[k][f] for f < floats (a
// multiple of 4), with 2 reach + 1 symmetric taps, written as the centre plus each pair's
// difference from it: a flat stretch then comes out exactly as it went in,
// and a nearly flat one keeps the sign of its small departure whatever the
// processor's rounding.
LUMETRA_INLINE void WeightedSumBody(const float* const* in, const float* weight, int reach,
                                    int floats, float* out) {
    using F8 = simd::Vec<8>::F;
    // Four vectors at a time, so that each tap's pointers and weight are
    // fetched once for 32 floats.
    constexpr int kBlock = 4;
    int f = 0;
    for (; f + 8 * kBlock <= floats; f += 8 * kBlock) {
        F8 centre[kBlock], twice[kBlock], acc[kBlock];
        for (int b = 0; b < kBlock; ++b) {
            centre[b] = simd::Load<F8>(in[reach] + f + 8 * b);
            twice[b] = centre[b] + centre[b];
            acc[b] = F8{};
        }
        for (int k = 1; k <= reach; ++k) {
            const float* before = in[reach - k] + f;
            const float* after = in[reach + k] + f;
            const float wk = weight[k];
            for (int b = 0; b < kBlock; ++b)
                acc[b] +=
                    ((simd::Load<F8>(before + 8 * b) + simd::Load<F8>(after + 8 * b)) - twice[b]) *
                    wk;
        }
        for (int b = 0; b < kBlock; ++b) simd::Store(out + f + 8 * b, centre[b] + acc[b]);
    }
    for (; f < floats; f += 4) {
        const Px centre = LoadPx(in[reach] + f);
        const Px twice = centre + centre;
        Px acc{};
        for (int k = 1; k <= reach; ++k)
            acc += ((LoadPx(in[reach - k] + f) + LoadPx(in[reach + k] + f)) - twice) * weight[k];
        StorePx(out + f, centre + acc);
    }
}
void WeightedSum(const float* const* in, const float* weight, int reach, int floats, float* out) {
    WeightedSumBody(in, weight, reach, floats, out);
}
#if LUMETRA_HAS_AVX2_VARIANT
LUMETRA_TARGET_AVX2 void WeightedSumAvx2(const float* const* in, const float* weight, int reach,
                                         int floats, float* out) {
    WeightedSumBody(in, weight, reach, floats, out);
}
#endif

void DirectBlurRegion(const Image& source, Rect region, double sigma, Image& target,
                      const FinishRun& finish) {
    const int reach = int(std::ceil(4.0 * sigma));
    const int taps = 2 * reach + 1;
    // The weight of the taps k pixels either side, as a share of all taps.
    std::vector<double> tap(static_cast<std::size_t>(reach) + 1);
    double total = 0.0;
    for (int k = 0; k <= reach; ++k) {
        tap[std::size_t(k)] = std::exp(-0.5 * k * k / (sigma * sigma));
        total += k ? 2.0 * tap[std::size_t(k)] : tap[0];
    }
    std::vector<float> weight(tap.size());
    for (std::size_t k = 0; k < tap.size(); ++k) weight[k] = float(tap[k] / total);
#if LUMETRA_HAS_AVX2_VARIANT
    const auto sum = CpuHasAvx2() ? &WeightedSumAvx2 : &WeightedSum;
#else
    const auto sum = &WeightedSum;
#endif
    const int w = region.width;
    const int h = region.height;
    // An 8-bit source is converted a whole row at a time: one tile, so that
    // each row is converted once.
    const int tileWidth = source.isFloat() ? kDirectTile : w;
    const int tiles = (w + tileWidth - 1) / tileWidth;
    const int bands = std::clamp(h / kDirectBandRows, 1, 8);
    ParallelBands(tiles * bands, std::int64_t(tileWidth) * (h / bands) * taps, [&](int i0, int i1) {
        std::vector<float> scratch(source.isFloat() ? 0 : source.rowFloats());
        AlignedArray<Px> line, ring;
        std::vector<const float*> in(static_cast<std::size_t>(taps));
        for (int item = i0; item < i1; ++item) {
            const int x0 = (item % tiles) * tileWidth;
            const int count = std::min(tileWidth, w - x0);
            const int y0 = int(std::int64_t(item / tiles) * h / bands);
            const int y1 = int(std::int64_t(item / tiles + 1) * h / bands);
            line.resize(std::size_t(count + 2 * reach));
            ring.resize(std::size_t(taps) * std::size_t(count));
            auto ringRow = [&](int y) {
                return reinterpret_cast<float*>(ring.data() + std::size_t((y - y0 + taps) % taps) *
                                                                  std::size_t(count));
            };
            // Row y of the region (edges repeated) blurred across into the ring.
            const auto across = [&](int y) {
                const float* src =
                    source.rowAsFloat(region.y + std::clamp(y, 0, h - 1), scratch.data()) +
                    4 * region.x;
                // Pixels of the tile and its margins; beyond the region the edge pixels.
                Px* at = line.data() + reach;  // at[i] is column x0 + i
                const int lo = std::max(x0 - reach, 0) - x0;
                const int hi = std::min(x0 + count + reach, w) - x0;
                for (int i = lo; i < hi; ++i) at[i] = Premultiply(LoadPx(src + 4 * (x0 + i)));
                for (int i = -reach; i < lo; ++i) at[i] = at[lo];
                for (int i = hi; i < count + reach; ++i) at[i] = at[hi - 1];
                const float* first = reinterpret_cast<const float*>(line.data());
                for (int k = 0; k < taps; ++k) in[std::size_t(k)] = first + 4 * k;
                sum(in.data(), weight.data(), reach, 4 * count, ringRow(y));
            };
            for (int y = y0 - reach; y < y0 + reach; ++y) across(y);
            for (int y = y0; y < y1; ++y) {
                across(y + reach);
                for (int k = 0; k < taps; ++k) in[std::size_t(k)] = ringRow(y - reach + k);
                float* out = target.row(region.y + y) + 4 * (region.x + x0);
                sum(in.data(), weight.data(), reach, 4 * count, out);
                finish(region.x + x0, region.y + y, count, out);
            }
        }
    });
}

// Both passes in the precision V. The source's pixels are premultiplied
// already when `premultiplied` is set; the horizontal pass's rows go to
// `rowsScratch` when given (at least the region's size), or to a new picture.
// The target may be the source: the source is read in full before the
// target is written.
template <class V>
void BlurRegion(const Image& source, Rect region, double sigma, Image& target,
                const FinishRun& finish, const Image* finishReads, bool premultiplied = false,
                Image* rowsScratch = nullptr) {
    const Sections<V> k = MakeSections<V>(sigma);
#if LUMETRA_HAS_AVX2_VARIANT
    const auto row = CpuHasAvx2() ? &RowAvx2<V> : &Row<V>;
    const auto strip = CpuHasAvx2() ? &StripAvx2<V> : &Strip<V>;
#else
    const auto row = &Row<V>;
    const auto strip = &Strip<V>;
#endif
    const int w = region.width;
    const int h = region.height;

    // Horizontal: the region's rows, premultiplied and blurred.
    Image ownRows = rowsScratch ? Image() : Image::CreateUninitialised(w, h);
    Image& rows = rowsScratch ? *rowsScratch : ownRows;
    ParallelBands(h, std::int64_t(w) * 16, [&](int y0, int y1) {
        std::vector<float> scratch(source.isFloat() ? 0 : source.rowFloats());
        AlignedArray<Px> xs, causal;
        xs.resize(std::size_t(w) + 1);
        causal.resize(std::size_t(w) + 1);
        for (int y = y0; y < y1; ++y) {
            const float* src = source.rowAsFloat(region.y + y, scratch.data()) + 4 * region.x;
            row(src, premultiplied, rows.row(y), w, k, xs.data(), causal.data());
        }
    });

    // Vertical, strip by strip.
    const int strips = (w + kStripWidth - 1) / kStripWidth;
    ParallelBands(strips, std::int64_t(h) * kStripWidth * 16, [&](int s0, int s1) {
        const auto state = std::make_unique<StripState<V>>();
        for (int s = s0; s < s1; ++s) {
            const int x0 = s * kStripWidth;
            const int count = std::min(kStripWidth, w - x0);
            strip(rows, h, x0, count, k, *state, region.x, region.y, target, finish, finishReads);
        }
    });
}

// From this sigma up the blur runs on a picture of half the size, with
// sigma halved: a quarter of the pixels go through the recursions, and the
// picture is read once and written once at full size. Half pixel (k, l) is
// the mean of the full pixels 2k - 1 .. 2k by 2l - 1 .. 2l (edges
// repeated), so the first and last half pixels are the edge pixels and the
// edge repeated beyond them is the full-size one; the result is sampled back
// bilinearly. The box and the sampling add a variance of 1 pixel squared,
// which the half-size sigma leaves out. Against the exact sampled Gaussian
// the result stays within 0.0002 on steps and 0.002 on fine detail at the
// picture's edge (at sigma 24; less above).
constexpr double kHalfSizeSigma = 24.0;

void HalfSizeBlurRegion(const Image& source, Rect region, double sigma, Image& target,
                        const FinishRun& finish) {
    const int w = region.width;
    const int h = region.height;
    // Half pixels up to the one made of the last full pixel alone.
    const int hw = (w + 1) / 2 + 1;
    const int hh = (h + 1) / 2 + 1;
    // Both half-size pictures take the whole source's half size, so that the
    // blurs of one pass reuse the same two pooled frames whatever their region.
    Image half =
        Image::CreateUninitialised((source.width() + 1) / 2 + 1, (source.height() + 1) / 2 + 1);
    Image scratch = Image::CreateUninitialised(half.width(), half.height());

    ParallelBands(hh, std::int64_t(w) * 8, [&](int l0, int l1) {
        std::vector<float> above(source.isFloat() ? 0 : source.rowFloats());
        std::vector<float> below(above.size());
        for (int l = l0; l < l1; ++l) {
            const float* a =
                source.rowAsFloat(region.y + std::clamp(2 * l - 1, 0, h - 1), above.data()) +
                4 * region.x;
            const float* b =
                source.rowAsFloat(region.y + std::min(2 * l, h - 1), below.data()) + 4 * region.x;
            float* out = half.row(l);
            for (int k = 0; k < hw; ++k) {
                const int left = 4 * std::clamp(2 * k - 1, 0, w - 1);
                const int right = 4 * std::min(2 * k, w - 1);
                StorePx(out + 4 * k,
                        (Premultiply(LoadPx(a + left)) + Premultiply(LoadPx(a + right)) +
                         Premultiply(LoadPx(b + left)) + Premultiply(LoadPx(b + right))) *
                            0.25f);
            }
        }
    });

    const double halfSigma = std::sqrt(sigma * sigma - 1.0) * 0.5;
    const Rect all{0, 0, hw, hh};
    const FinishRun keep = [](int, int, int, float*) {};
    if (halfSigma <= kSinglePrecisionSigma)
        BlurRegion<F8>(half, all, halfSigma, half, keep, nullptr, true, &scratch);
    else
        BlurRegion<D8>(half, all, halfSigma, half, keep, nullptr, true, &scratch);

    // Full pixel x lies at half position (x + 0.5) / 2: a quarter or three
    // quarters of the way from half pixel x / 2 to the next.
    ParallelBands(h, std::int64_t(w) * 16, [&](int y0, int y1) {
        AlignedArray<Px> mixed;
        mixed.resize(std::size_t(hw) + 1);
        for (int y = y0; y < y1; ++y) {
            const float* a = half.row(y / 2);
            const float* b = half.row(std::min(y / 2 + 1, hh - 1));
            const float down = y % 2 ? 0.75f : 0.25f;
            for (int k = 0; k < hw; ++k) {
                const Px top = LoadPx(a + 4 * k);
                mixed[std::size_t(k)] = top + (LoadPx(b + 4 * k) - top) * down;
            }
            mixed[std::size_t(hw)] = mixed[std::size_t(hw) - 1];
            float* out = target.row(region.y + y) + 4 * region.x;
            for (int x = 0; x < w; ++x) {
                const Px left = mixed[std::size_t(x / 2)];
                const Px right = mixed[std::size_t(x / 2) + 1];
                StorePx(out + 4 * x, left + (right - left) * (x % 2 ? 0.75f : 0.25f));
            }
            finish(region.x, region.y + y, w, out);
        }
    });
}

}  // namespace

void GaussianBlurRegion(const Image& source, Rect region, double sigma, Image& target,
                        const FinishRun& finish, const Image* finishReads) {
    region.x = std::max(region.x, 0);
    region.y = std::max(region.y, 0);
    region.width = std::min(region.width, source.width() - region.x);
    region.height = std::min(region.height, source.height() - region.y);
    if (region.width <= 0 || region.height <= 0) return;
    sigma = std::clamp(sigma, 0.5, kMaxGaussianSigma);
    if (sigma <= kDirectSigma)
        DirectBlurRegion(source, region, sigma, target, finish);
    else if (sigma >= kHalfSizeSigma && region.width >= 16 && region.height >= 16)
        HalfSizeBlurRegion(source, region, sigma, target, finish);
    else if (sigma <= kSinglePrecisionSigma)
        BlurRegion<F8>(source, region, sigma, target, finish, finishReads);
    else
        BlurRegion<D8>(source, region, sigma, target, finish, finishReads);
}

}  // namespace lumetra::fx
