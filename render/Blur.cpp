// SPDX-License-Identifier: GPL-3.0-or-later
// The Gaussian, circle and focus blurs: one shared Gaussian, finished per
// pixel as a plain blur, as a blur inside a circle, or blended with the
// sharp picture by distance from the centre.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/EffectSupport.h"
#include "render/Gaussian.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::LoadPx;
using fx::Px;
using fx::StorePx;

// The circle blur's nine taps, blurSize pixels apart, spread a pixel with
// this standard deviation per unit of blurSize: sqrt(sum w k^2).
double NineTapSpread() {
    double variance = 0.0;
    for (int k = -4; k <= 4; ++k) variance += fx::kNineTapWeights[k + 4] * k * k;
    return std::sqrt(variance);
}

// The focus blur's share of blur by squared distance from the centre, in
// pixels: none within `inner`, all beyond `outer`, a smoothstep between (a
// hard step when the band is empty or reversed).
class FocusRamp {
  public:
    FocusRamp(double inner, double outer)
        : inner_(float(inner)),
          // A hard step: no pixel is in the band.
          innerSquared_(!(inner < outer) ? std::numeric_limits<float>::infinity()
                        : inner > 0.0    ? float(inner * inner)
                                         : -1.f),
          outerSquared_(outer > 0.0 ? float(outer * outer) : 0.f),
          invWidth_(inner < outer ? float(1.0 / (outer - inner)) : 0.f) {}

    // Selects, not branches, so that a loop over a run of pixels becomes
    // vector code.
    LUMETRA_INLINE float At(float distanceSquared) const {
        const float t = Clamp01((std::sqrt(distanceSquared) - inner_) * invWidth_);
        const float ramp = distanceSquared <= innerSquared_ ? 0.f : t * t * (3.f - 2.f * t);
        return distanceSquared >= outerSquared_ ? 1.f : ramp;
    }

  private:
    float inner_;
    float innerSquared_;
    float outerSquared_;
    float invWidth_;
};

// A finish as the Gaussian takes it, run by a copy of its loop compiled for
// AVX2 and FMA where the processor has them: the finish visits every pixel,
// and its divisions and square roots then take fewer, wider instructions.
template <class Finish>
void FinishBaseline(const Finish& finish, int x, int y, int count, float* pixels) {
    finish(x, y, count, pixels);
}
#if LUMETRA_HAS_AVX2_VARIANT
template <class Finish>
LUMETRA_TARGET_AVX2 void FinishAvx2(const Finish& finish, int x, int y, int count, float* pixels) {
    finish(x, y, count, pixels);
}
#endif

template <class Finish>
fx::FinishRun Dispatched(const Finish& finish) {
#if LUMETRA_HAS_AVX2_VARIANT
    if (CpuHasAvx2())
        return [&finish](int x, int y, int count, float* pixels) {
            FinishAvx2(finish, x, y, count, pixels);
        };
#endif
    return [&finish](int x, int y, int count, float* pixels) {
        FinishBaseline(finish, x, y, count, pixels);
    };
}

// A new float picture holding the float picture `image` outside `region`;
// the region's pixels are left for the caller to write.
Image CopyOutside(const Image& image, const fx::Rect& region) {
    Image out = Image::CreateUninitialised(image.width(), image.height());
    ParallelBands(image.height(), image.width(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const float* src = image.row(y);
            float* dst = out.row(y);
            if (y < region.y || y >= region.y + region.height) {
                std::memcpy(dst, src, image.rowFloats() * sizeof(float));
                continue;
            }
            const std::size_t right = std::size_t(region.x + region.width) * 4;
            std::memcpy(dst, src, std::size_t(region.x) * 4 * sizeof(float));
            std::memcpy(dst + right, src + right, (image.rowFloats() - right) * sizeof(float));
        }
    });
    return out;
}

}  // namespace

double ImageTools::GaussianSigma(float blurRadiusInPixels) {
    const double sigma = std::round(double(blurRadiusInPixels));
    if (!(sigma >= 1.0)) return 0.0;
    return std::min(sigma, fx::kMaxGaussianSigma);
}

Image ImageTools::BlurImage(const Image& image, float blurRadiusInPixels) {
    const double sigma = GaussianSigma(blurRadiusInPixels);
    if (sigma == 0.0 || image.isEmpty()) return image;
    Image out = Image::CreateUninitialised(image.width(), image.height());
    const auto finish = [](int, int, int count, float* pixels) LUMETRA_INLINE_LAMBDA {
        for (int i = 0; i < count; ++i)
            StorePx(pixels + 4 * i, fx::Unpremultiply(LoadPx(pixels + 4 * i)));
    };
    fx::GaussianBlurRegion(image, {0, 0, image.width(), image.height()}, sigma, out,
                           Dispatched(finish));
    return out;
}

Image ImageTools::CircleBlurImage(const Image& image, float blurSize, float blurRadius) {
    if (image.isEmpty() || !fx::AllFinite(blurSize, blurRadius)) return image;
    const double sigma = std::abs(double(blurSize)) * NineTapSpread();
    const int w = image.width();
    const int h = image.height();
    // The circle is round in pixels: its radius is measured in widths.
    const double radius = double(blurRadius) * w;
    if (sigma < 0.5 || !(radius > 0.0)) return image;
    const double cx = w * 0.5;
    const double cy = h * 0.5;

    // Beyond radius + 0.5 pixels nothing of a pixel is inside.
    const double edgeSquared = (radius + 0.5) * (radius + 0.5);
    const Image sharp = image.toFloat();
    // Only the circle and the reach of the blur around it need blurring.
    const double reach = radius + 1.0 + std::ceil(6.0 * std::min(sigma, fx::kMaxGaussianSigma));
    fx::Rect region;
    region.x = int(std::max(0.0, std::floor(cx - reach)));
    region.y = int(std::max(0.0, std::floor(cy - reach)));
    region.width = int(std::min(double(w), std::ceil(cx + reach))) - region.x;
    region.height = int(std::min(double(h), std::ceil(cy + reach))) - region.y;
    Image out = CopyOutside(sharp, region);
    const auto finish = [&](int x0, int y, int count, float* pixels) LUMETRA_INLINE_LAMBDA {
        const float* original = sharp.row(y) + 4 * x0;
        const double dy = y + 0.5 - cy;
        for (int i = 0; i < count; ++i) {
            const double dx = x0 + i + 0.5 - cx;
            const double distanceSquared = dx * dx + dy * dy;
            // Antialiased edge: the share of the pixel inside the circle.
            const float inside =
                distanceSquared >= edgeSquared
                    ? 0.f
                    : float(std::clamp(radius - std::sqrt(distanceSquared) + 0.5, 0.0, 1.0));
            const Px before = LoadPx(original + 4 * i);
            if (inside == 0.f) {
                StorePx(pixels + 4 * i, before);  // outside: exactly as it was
                continue;
            }
            const Px sharpPremultiplied = fx::Premultiply(before);
            const Px soft = LoadPx(pixels + 4 * i);
            StorePx(pixels + 4 * i,
                    fx::Unpremultiply(sharpPremultiplied + (soft - sharpPremultiplied) * inside));
        }
    };
    fx::GaussianBlurRegion(sharp, region, sigma, out, Dispatched(finish), &sharp);
    return out;
}

Image ImageTools::FocusBlurImage(const Image& image, float blurRadiusInPixels,
                                 float excludeCircleRadius, float excludeBlurSize) {
    if (image.isEmpty() || !fx::AllFinite(excludeCircleRadius, excludeBlurSize)) return image;
    const double sigma = GaussianSigma(blurRadiusInPixels);
    if (sigma == 0.0) return image;
    const int w = image.width();
    const int h = image.height();
    // Radii in widths, so the sharp area is a true circle on any picture.
    const FocusRamp ramp(double(excludeCircleRadius - excludeBlurSize) * w,
                         double(excludeCircleRadius) * w);
    const float cx = w * 0.5f;
    const float cy = h * 0.5f;
    // The sharp pixels are read back while the blur is finished.
    const Image sharp = image.toFloat();
    Image out = Image::CreateUninitialised(w, h);
    const auto finish = [&](int x0, int y, int count, float* pixels) LUMETRA_INLINE_LAMBDA {
        const float dy = float(y) + 0.5f - cy;
        // The shares of blur of a stretch of the run first, in one loop of
        // square roots side by side, then its pixels.
        constexpr int kStretch = 64;
        float shares[kStretch];
        for (int start = 0; start < count; start += kStretch) {
            const int n = std::min(kStretch, count - start);
            for (int i = 0; i < n; ++i) {
                const float dx = float(x0 + start + i) + 0.5f - cx;
                shares[i] = ramp.At(dx * dx + dy * dy);
            }
            const float* original = sharp.row(y) + 4 * (x0 + start);
            float* blurred = pixels + 4 * start;
            for (int i = 0; i < n; ++i) {
                const float t = shares[i];
                if (t == 0.f) {
                    StorePx(blurred + 4 * i, LoadPx(original + 4 * i));
                    continue;
                }
                Px blend = LoadPx(blurred + 4 * i);
                if (t < 1.f) {
                    // Mixed premultiplied, so that a transparent sharp pixel
                    // fades the blurred one instead of darkening it.
                    const Px before = fx::Premultiply(LoadPx(original + 4 * i));
                    blend = before + (blend - before) * t;
                }
                StorePx(blurred + 4 * i, fx::Unpremultiply(blend));
            }
        }
    };
    fx::GaussianBlurRegion(sharp, {0, 0, w, h}, sigma, out, Dispatched(finish), &sharp);
    return out;
}

}  // namespace lumetra
