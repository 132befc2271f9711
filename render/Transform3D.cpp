// SPDX-License-Identifier: GPL-3.0-or-later
// The 3D transform: the picture as a flat quad in space, projected through
// a 4 x 4 matrix. The quad lies in z = 0, so the projection is a plane
// homography; each output pixel is mapped back through its inverse, which is
// exact and perspective-correct.
#include <algorithm>
#include <cmath>

#include "render/EffectSupport.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/Sampling.h"

namespace lumetra {
namespace {

using fx::Px;

// Positions within a millionth of a pixel centre are taken as on it, so
// that moves by whole pixels copy the pixels exactly despite rounding.
inline double SnapToPixel(double p) {
    const double nearest = std::round(p);
    return std::abs(p - nearest) < 1e-6 ? nearest : p;
}

// The 3 x 3 matrix that maps [x y 1] of the quad to [X Y w] (row vectors),
// and its inverse.
struct Homography {
    double m[3][3];

    bool Invert(Homography& inverse) const {
        const double a = m[0][0], b = m[0][1], c = m[0][2];
        const double d = m[1][0], e = m[1][1], f = m[1][2];
        const double g = m[2][0], h = m[2][1], i = m[2][2];
        const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
        if (!std::isfinite(det) || std::abs(det) < 1e-300) return false;
        const double k = 1.0 / det;
        inverse.m[0][0] = (e * i - f * h) * k;
        inverse.m[0][1] = (c * h - b * i) * k;
        inverse.m[0][2] = (b * f - c * e) * k;
        inverse.m[1][0] = (f * g - d * i) * k;
        inverse.m[1][1] = (a * i - c * g) * k;
        inverse.m[1][2] = (c * d - a * f) * k;
        inverse.m[2][0] = (d * h - e * g) * k;
        inverse.m[2][1] = (b * g - a * h) * k;
        inverse.m[2][2] = (a * e - b * d) * k;
        return true;
    }
};

}  // namespace

Image ImageTools::TransformImage(const Image& image, const Transform3D& t) {
    if (image.isEmpty() || t.isIdentity()) return image;
    const double cells[16] = {t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24,
                              t.m31, t.m32, t.m33, t.m34, t.m41, t.m42, t.m43, t.m44};
    for (double cell : cells)
        if (!std::isfinite(cell)) return image;
    const int w = image.width();
    const int h = image.height();
    Image out = Image::Create(w, h);
    // z is 0 on the quad, so the third row and column play no part.
    const Homography forward{{{t.m11, t.m12, t.m14}, {t.m21, t.m22, t.m24}, {t.m41, t.m42, t.m44}}};
    Homography inverse;
    if (!forward.Invert(inverse)) return out;  // the quad seen edge-on: nothing covered
    const double aspect = double(h) / double(w);  // the quad's half height in its units
    fx::WithPixels(image, [&](const auto& src) {
        ParallelBands(h, std::int64_t(w) * 8, [&](int y0, int y1) {
            for (int x0 = 0; x0 < w; x0 += fx::kColumnBlock)
                for (int y = y0; y < y1; ++y) {
                    float* dst = out.row(y);
                    // Projected Y over w, before the height is scaled to the screen.
                    const double b = (2.0 * (y + 0.5) / h - 1.0) * aspect;
                    for (int x = x0, x1 = std::min(w, x0 + fx::kColumnBlock); x < x1; ++x) {
                        const double a = 2.0 * (x + 0.5) / w - 1.0;
                        // [a b 1] times the inverse gives [x y 1] up to a factor.
                        const double qx = a * inverse.m[0][0] + b * inverse.m[1][0] + inverse.m[2][0];
                        const double qy = a * inverse.m[0][1] + b * inverse.m[1][1] + inverse.m[2][1];
                        const double qs = a * inverse.m[0][2] + b * inverse.m[1][2] + inverse.m[2][2];
                        if (qs == 0.0) continue;
                        const double inv = 1.0 / qs;
                        const double u = qx * inv;
                        const double v = qy * inv;
                        // Behind the viewer: not drawn.
                        if (!(u * t.m14 + v * t.m24 + t.m44 > 0.0)) continue;
                        // Far points are cut to just beyond the picture before
                        // they become floats: they show nothing either way.
                        const double sx = std::clamp(SnapToPixel((u + 1.0) * 0.5 * w - 0.5), -2.0, w + 1.0);
                        const double sy =
                            std::clamp(SnapToPixel((v / aspect + 1.0) * 0.5 * h - 0.5), -2.0, h + 1.0);
                        fx::StorePx(dst + 4 * x, fx::Unpremultiply(fx::SampleTransparentOutside(
                                                     src, float(sx), float(sy))));
                    }
                }
        });
    });
    return out;
}

}  // namespace lumetra
