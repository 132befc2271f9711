// SPDX-License-Identifier: GPL-3.0-or-later
// Swirl and glass sphere: each output pixel samples the picture at a point
// moved about the centre.
#include <algorithm>
#include <cmath>

#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

using fx::LoadPx;
using fx::Px;
using fx::StorePx;

// Light directions of the sphere: straight at the viewer for the rim
// light, and from the left and (y pointing down) below for the highlight.
constexpr double kHighlightX = -0.40825, kHighlightY = 0.40825, kHighlightZ = 0.81650;

}  // namespace

Image ImageTools::SwirlImage(const Image& image, float radius, float angle) {
    if (image.isEmpty() || !fx::AllFinite(radius, angle)) return image;
    if (!(radius > 0.f) || angle == 0.f) return image;
    const Image src = image.toFloat();
    const int w = image.width();
    const int h = image.height();
    const float r = radius;
    const float turn = 8.f * angle;
    Image out = Image::CreateUninitialised(w, h);
    ParallelBands(h, std::int64_t(w) * 8, [&](int y0, int y1) {
        for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock)
            for (int y = y0; y < y1; ++y) {
                const float* in = src.row(y);
                float* dst = out.row(y);
                // Normalised offsets from the centre, without aspect correction.
                const float dy = (float(y) + 0.5f) / float(h) - 0.5f;
                for (int x = x0, x1 = std::min(w, x0 + fx::kColumnBlock); x < x1; ++x) {
                    const float dx = (float(x) + 0.5f) / float(w) - 0.5f;
                    const float d = std::sqrt(dx * dx + dy * dy);
                    if (!(d < r)) {
                        StorePx(dst + 4 * x, LoadPx(in + 4 * x));
                        continue;
                    }
                    const float pct = (r - d) / r;
                    const float theta = pct * pct * turn;
                    const float s = std::sin(theta);
                    const float c = std::cos(theta);
                    const float u = dx * c - dy * s + 0.5f;
                    const float v = dx * s + dy * c + 0.5f;
                    const Px p = fx::SampleClampedPremultiplied(src, u * float(w) - 0.5f,
                                                                v * float(h) - 0.5f);
                    StorePx(dst + 4 * x, fx::Unpremultiply(p));
                }
            }
    });
    return out;
}

Image ImageTools::GlassSphereImage(const Image& image, float radius, float refractiveIndex) {
    if (image.isEmpty() || !fx::AllFinite(radius, refractiveIndex)) return image;
    const int w = image.width();
    const int h = image.height();
    Image out = Image::Create(w, h);  // transparent outside the sphere
    if (!(radius > 0.f)) return out;
    const Image src = image.toFloat();
    const double r = radius;
    const double eta = refractiveIndex;
    const double radiusPixels = r * w;
    ParallelBands(h, std::int64_t(w) * 8, [&](int y0, int y1) {
        for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock)
            for (int y = y0; y < y1; ++y) {
                float* dst = out.row(y);
                // Offsets from the centre in widths: a round sphere on any
                // picture.
                const double py = (y + 0.5 - h * 0.5) / w;
                for (int x = x0, x1 = std::min(w, x0 + fx::kColumnBlock); x < x1; ++x) {
                    const double px = (x + 0.5 - w * 0.5) / w;
                    const double d = std::sqrt(px * px + py * py);
                    // The share of the pixel inside the sphere's outline.
                    const double inside = std::clamp(radiusPixels - d * w + 0.5, 0.0, 1.0);
                    if (inside == 0.0) continue;
                    const double dn = std::min(d / r, 1.0);
                    const double depth = r * std::sqrt(1.0 - dn * dn);
                    const double norm = std::sqrt(px * px + py * py + depth * depth);
                    double nx = 0.0, ny = 0.0, nz = 1.0;
                    if (norm > 0.0) {
                        nx = px / norm;
                        ny = py / norm;
                        nz = depth / norm;
                    }
                    // Refract the view ray (0, 0, -1) through the surface.
                    const double cosine = -nz;  // N . I
                    const double k = 1.0 - eta * eta * (1.0 - cosine * cosine);
                    double rx = 0.0, ry = 0.0;
                    if (k >= 0.0) {
                        const double along = eta * cosine + std::sqrt(k);
                        rx = -along * nx;
                        ry = -along * ny;
                    }
                    const Px sample = fx::SampleClampedPremultiplied(
                        src, float((0.5 - rx) * w - 0.5), float((0.5 - ry) * h - 0.5));
                    // Light grazing the rim, and a highlight.
                    const double facing = std::clamp(nz, 0.0, 1.0);
                    const double rim = 2.5 * (1.0 - std::sqrt(std::sqrt(facing)));
                    const double l = std::clamp(
                        nx * kHighlightX + ny * kHighlightY + nz * kHighlightZ, 0.0, 1.0);
                    const double l2 = l * l, l4 = l2 * l2, l8 = l4 * l4;
                    const double light = rim + 0.8 * l8 * l4 * l2 * l;
                    float* d4 = dst + 4 * x;
                    // The colour as the sphere shows it: the sample over black.
                    for (int c = 0; c < 3; ++c) d4[c] = Clamp01(float(sample[c] + light));
                    d4[3] = float(inside);
                }
            }
    });
    return out;
}

}  // namespace lumetra
