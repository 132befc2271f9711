// SPDX-License-Identifier: GPL-3.0-or-later
// The Gaussian, circle and focus blurs: one shared Gaussian, finished per
// pixel as a plain blur, as a blur inside a circle, or blended with the
// sharp picture by distance from the centre.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

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

// The picture as floats, row by row, into a new picture.
Image FloatCopy(const Image& image) {
    Image out = Image::CreateUninitialised(image.width(), image.height());
    ParallelBands(image.height(), image.width(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float* src = image.rowAsFloat(y, dst);
            if (src != dst) std::memcpy(dst, src, image.rowFloats() * sizeof(float));
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
    fx::GaussianBlurRegion(image, {0, 0, image.width(), image.height()}, sigma, out,
                           [](int, int, int count, float* pixels) {
                               for (int i = 0; i < count; ++i)
                                   StorePx(pixels + 4 * i, fx::Unpremultiply(LoadPx(pixels + 4 * i)));
                           });
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

    const Image sharp = image.toFloat();
    Image out = FloatCopy(sharp);
    // Only the circle and the reach of the blur around it need blurring.
    const double reach = radius + 1.0 + std::ceil(6.0 * std::min(sigma, fx::kMaxGaussianSigma));
    fx::Rect region;
    region.x = int(std::max(0.0, std::floor(cx - reach)));
    region.y = int(std::max(0.0, std::floor(cy - reach)));
    region.width = int(std::min(double(w), std::ceil(cx + reach))) - region.x;
    region.height = int(std::min(double(h), std::ceil(cy + reach))) - region.y;
    fx::GaussianBlurRegion(sharp, region, sigma, out, [&](int x0, int y, int count, float* pixels) {
        const float* original = sharp.row(y) + 4 * x0;
        const double dy = y + 0.5 - cy;
        for (int i = 0; i < count; ++i) {
            const double dx = x0 + i + 0.5 - cx;
            // Antialiased edge: the share of the pixel inside the circle.
            const float inside =
                float(std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5, 0.0, 1.0));
            const Px before = LoadPx(original + 4 * i);
            if (inside == 0.f) {
                StorePx(pixels + 4 * i, before);  // outside: exactly as it was
                continue;
            }
            const Px sharpPremultiplied = fx::Premultiply(before);
            const Px soft = LoadPx(pixels + 4 * i);
            StorePx(pixels + 4 * i, fx::Unpremultiply(sharpPremultiplied +
                                                      (soft - sharpPremultiplied) * inside));
        }
    });
    return out;
}

Image ImageTools::FocusBlurImage(const Image& image, float blurRadiusInPixels,
                                 float excludeCircleRadius, float excludeBlurSize) {
    if (image.isEmpty() || !fx::AllFinite(excludeCircleRadius, excludeBlurSize)) return image;
    const double sigma = GaussianSigma(blurRadiusInPixels);
    if (sigma == 0.0) return image;
    const int w = image.width();
    const int h = image.height();
    const double outer = double(excludeCircleRadius);
    const double inner = outer - double(excludeBlurSize);
    const double cx = w * 0.5;
    const double cy = h * 0.5;
    // The sharp pixels are read back while the blur is finished.
    const Image sharp = image.toFloat();
    Image out = Image::CreateUninitialised(w, h);
    fx::GaussianBlurRegion(sharp, {0, 0, w, h}, sigma, out, [&](int x0, int y, int count,
                                                                float* pixels) {
        const float* original = sharp.row(y) + 4 * x0;
        // Distance in widths: y is measured in widths about the centre, so
        // the sharp area is a true circle on any picture.
        const double dy = (y + 0.5 - cy) / w;
        for (int i = 0; i < count; ++i) {
            const double dx = (x0 + i + 0.5 - cx) / w;
            const double d = std::sqrt(dx * dx + dy * dy);
            const float t =
                float(inner < outer ? fx::SmoothStep(inner, outer, d) : (d < outer ? 0.0 : 1.0));
            const Px before = LoadPx(original + 4 * i);
            if (t == 0.f) {
                StorePx(pixels + 4 * i, before);
                continue;
            }
            // Mixed premultiplied, so that a transparent sharp pixel fades
            // the blurred one instead of darkening it.
            const Px sharpPremultiplied = fx::Premultiply(before);
            const Px soft = LoadPx(pixels + 4 * i);
            StorePx(pixels + 4 * i, fx::Unpremultiply(sharpPremultiplied +
                                                      (soft - sharpPremultiplied) * t));
        }
    });
    return out;
}

}  // namespace lumetra
