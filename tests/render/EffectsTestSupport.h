// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures and comparisons shared by the effect tests.
#pragma once

#include <cmath>
#include <functional>
#include <string>

#include "render/Image.h"
#include "support/TestImages.h"

namespace lumetra::test {

// A float copy that shares nothing with the original.
inline Image DeepCopy(const Image& image) {
    Image copy = Image::CreateUninitialised(image.width(), image.height());
    std::vector<float> scratch(image.rowFloats());
    for (int y = 0; y < image.height(); ++y) {
        const float* src = image.rowAsFloat(y, scratch.data());
        std::copy(src, src + image.rowFloats(), copy.row(y));
    }
    return copy;
}

// Largest difference of any channel of any pixel (infinite on a size
// mismatch). With `asShown`, colours are compared premultiplied by alpha,
// so the colour of a transparent pixel does not count.
inline float MaxDifference(const Image& a, const Image& b, bool asShown = false) {
    if (a.width() != b.width() || a.height() != b.height()) return INFINITY;
    std::vector<float> sa(a.rowFloats()), sb(b.rowFloats());
    float worst = 0.f;
    for (int y = 0; y < a.height(); ++y) {
        const float* pa = a.rowAsFloat(y, sa.data());
        const float* pb = b.rowAsFloat(y, sb.data());
        for (std::size_t i = 0; i < a.rowFloats(); ++i) {
            const std::size_t alpha = i | 3;
            const bool colour = asShown && i != alpha;
            const float d =
                std::abs(pa[i] * (colour ? pa[alpha] : 1.f) - pb[i] * (colour ? pb[alpha] : 1.f));
            if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
        }
    }
    return worst;
}

// True when every channel of every pixel is a number in 0..1.
inline bool InUnitRange(const Image& image) {
    std::vector<float> scratch(image.rowFloats());
    for (int y = 0; y < image.height(); ++y) {
        const float* row = image.rowAsFloat(y, scratch.data());
        for (std::size_t i = 0; i < image.rowFloats(); ++i)
            if (!(row[i] >= 0.f && row[i] <= 1.f)) return false;
    }
    return true;
}

// A picture made from a function of the pixel position.
inline Image Painted(int w, int h, const std::function<Rgba(int x, int y)>& paint) {
    Image image = Image::CreateUninitialised(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = paint(x, y);
            float* d = image.row(y) + 4 * x;
            d[0] = p.r;
            d[1] = p.g;
            d[2] = p.b;
            d[3] = p.a;
        }
    return image;
}

// Opaque, with sharp edges in both directions and smooth gradients: a
// disc, a bar and a gradient background.
inline Image Shapes(int w, int h) {
    return Painted(w, h, [w, h](int x, int y) {
        const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
        Rgba p{u, v, 0.5f + 0.4f * (u - v), 1.f};
        const float dx = u - 0.3f, dy = (v - 0.4f) * h / w;
        if (dx * dx + dy * dy < 0.03f) p = {0.95f, 0.9f, 0.1f, 1.f};
        if (u > 0.55f && u < 0.85f && v > 0.55f && v < 0.8f) p = {0.1f, 0.1f, 0.45f, 1.f};
        return p;
    });
}

}  // namespace lumetra::test
