// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/TextShadow.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/WatermarkOverlay.h"

namespace lumetra {
namespace {

// A Gaussian of standard deviation radius / 2 that stops at the radius,
// normalised so that a solid area keeps its full strength.
std::vector<float> BlurWeights(int radius) {
    std::vector<float> weights(std::size_t(2 * radius + 1));
    const double sigma = radius / 2.0;
    double sum = 0.0;
    for (int k = -radius; k <= radius; ++k) {
        const double w = std::exp(-double(k * k) / (2.0 * sigma * sigma));
        weights[std::size_t(k + radius)] = float(w);
        sum += w;
    }
    for (float& w : weights) w = float(w / sum);
    return weights;
}

// The blurred coverage of the painted area (areas outside it count as
// transparent), same size.
std::vector<float> BlurredCoverage(const std::vector<float>& glyphs, int width, int height,
                                   int radius) {
    const std::vector<float> weights = BlurWeights(radius);
    const int kTaps = 2 * radius + 1;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    std::vector<float> horizontal(count, 0.f);
    std::vector<float> blurred(count, 0.f);
    WatermarkBands(height, std::int64_t(width) * kTaps, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const float* src = glyphs.data() + std::size_t(y) * std::size_t(width) * 4;
            float* dst = horizontal.data() + std::size_t(y) * std::size_t(width);
            for (int x = 0; x < width; ++x) {
                float sum = 0.f;
                for (int k = -radius; k <= radius; ++k) {
                    const int sx = x + k;
                    if (sx >= 0 && sx < width)
                        sum += weights[std::size_t(k + radius)] * src[4 * sx + 3];
                }
                dst[x] = sum;
            }
        }
    });
    WatermarkBands(height, std::int64_t(width) * kTaps, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            float* dst = blurred.data() + std::size_t(y) * std::size_t(width);
            for (int k = -radius; k <= radius; ++k) {
                const int sy = y + k;
                if (sy < 0 || sy >= height) continue;
                const float w = weights[std::size_t(k + radius)];
                const float* src = horizontal.data() + std::size_t(sy) * std::size_t(width);
                for (int x = 0; x < width; ++x) dst[x] += w * src[x];
            }
        }
    });
    return blurred;
}

}  // namespace

ShadowShape ScaledShadow(double scale) {
    if (!(scale > 0.0) || scale >= 1.0) return {};
    return {std::max(1, int(std::lround(kShadowBlurRadius * scale))),
            int(std::lround(kShadowOffset * scale))};
}

QRectF ShadowReach(const QRectF& ink, const ShadowShape& shadow) {
    const double r = shadow.blurRadius;
    return ink.translated(shadow.offset, shadow.offset).adjusted(-r, -r, r, r);
}

QRect ShadowSourceArea(const QRect& patch, const ShadowShape& shadow) {
    const int reach = shadow.offset + shadow.blurRadius;
    return patch.adjusted(-reach, -reach, 0, 0);
}

void ComposeOverShadow(const std::vector<float>& glyphs, const QRect& painted, const QRect& patch,
                       bool useShadow, const ShadowShape& shape, Image& out) {
    const int width = painted.width();
    const std::vector<float> shadow =
        useShadow ? BlurredCoverage(glyphs, width, painted.height(), shape.blurRadius)
                  : std::vector<float>();
    const int dx = patch.x() - painted.x();
    const int dy = patch.y() - painted.y();
    WatermarkBands(patch.height(), patch.width(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const int py = y + dy;
            const float* src = glyphs.data() + (std::size_t(py) * std::size_t(width) + dx) * 4;
            float* dst = out.row(y);
            // The shadow under painted row py comes from the blurred
            // coverage one offset up and left.
            const int sy = py - shape.offset;
            for (int x = 0; x < patch.width(); ++x) {
                const float* p = src + 4 * x;
                float alpha = p[3];
                if (useShadow && sy >= 0) {
                    const int sx = x + dx - shape.offset;
                    const float s =
                        sx >= 0 ? shadow[std::size_t(sy) * std::size_t(width) + sx] : 0.f;
                    alpha += s * (1.f - alpha);  // black: adds coverage, no colour
                }
                float* q = dst + 4 * x;
                if (alpha > 0.f) {
                    // Divided, not multiplied by a reciprocal: a white edge
                    // pixel (a, a, a, a) must come out exactly white.
                    q[0] = std::min(p[0] / alpha, 1.f);
                    q[1] = std::min(p[1] / alpha, 1.f);
                    q[2] = std::min(p[2] / alpha, 1.f);
                    q[3] = std::min(alpha, 1.f);
                } else {
                    q[0] = q[1] = q[2] = q[3] = 0.f;
                }
            }
        }
    });
}

}  // namespace lumetra
