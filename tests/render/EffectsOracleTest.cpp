// SPDX-License-Identifier: GPL-3.0-or-later
// The moving kernels against slow, obvious implementations of the same
// definitions: the Gaussian summed tap by tap, the 3D transform solved pixel
// by pixel, and motion and zoom blur integrated sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "render/EffectsTestSupport.h"
#include "render/Gaussian.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

using test::MaxDifference;
using test::Rgba;

using Pixel = std::array<double, 4>;

// A pixel of a float picture, edge pixels repeated beyond the border.
Pixel At(const Image& image, int x, int y) {
    x = std::clamp(x, 0, image.width() - 1);
    y = std::clamp(y, 0, image.height() - 1);
    const float* p = image.row(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

Pixel Premultiplied(const Pixel& p) {
    return {p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]};
}

// Bilinear, premultiplied; taps beyond the picture repeat the edge pixels,
// or are transparent.
Pixel Sample(const Image& image, double fx, double fy, bool transparentBeyond = false) {
    const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    Pixel out{};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const int x = x0 + i, y = y0 + j;
            const bool beyond = x < 0 || y < 0 || x >= image.width() || y >= image.height();
            if (beyond && transparentBeyond) continue;
            const double weight = (i ? tx : 1 - tx) * (j ? ty : 1 - ty);
            const Pixel p = Premultiplied(At(image, x, y));
            for (int k = 0; k < 4; ++k) out[k] += weight * p[k];
        }
    return out;
}

Image FromPremultiplied(int w, int h, const std::function<Pixel(int, int)>& pixel) {
    return test::Painted(w, h, [&](int x, int y) {
        const Pixel p = pixel(x, y);
        const double a = std::clamp(p[3], 0.0, 1.0);
        if (a <= 0) return Rgba{0, 0, 0, 0};
        auto c = [&](double v) { return float(std::clamp(v / p[3], 0.0, 1.0)); };
        return Rgba{c(p[0]), c(p[1]), c(p[2]), float(a)};
    });
}

// The nine weights joined linearly over -4..4 steps, zero beyond.
double NineTapWeight(double steps) {
    static const double w[9] = {0.05, 0.09, 0.12, 0.15, 0.18, 0.15, 0.12, 0.09, 0.05};
    if (steps < -4 || steps > 4) return 0;
    const int n = std::min(7, int(std::floor(steps + 4)));
    const double t = steps + 4 - n;
    return w[n] * (1 - t) + w[n + 1] * t;
}

// A step at `at` along a line of n pixels blurred with the sampled Gaussian,
// edge pixels repeated beyond the line.
std::vector<double> BlurredStep(int n, int at, double sigma) {
    const int reach = int(std::ceil(8 * sigma));
    // tail[j]: the weights of taps j - reach and beyond, as a share of all.
    std::vector<double> tail(std::size_t(2 * reach + 2), 0.0);
    for (int k = reach; k >= -reach; --k)
        tail[std::size_t(k + reach)] =
            tail[std::size_t(k + reach + 1)] + std::exp(-0.5 * k * k / (sigma * sigma));
    std::vector<double> out(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)  // pixel i + k is past the step when k >= at - i
        out[std::size_t(i)] =
            tail[std::size_t(std::clamp(at - i, -reach, reach + 1) + reach)] / tail[0];
    return out;
}

// The ways the blur runs (direct taps for small sigmas, the recursive filter
// in single precision, and from sigma 24 at half size, in double precision
// for the largest) on a corner of white
// beside the direct blur's tile and band edges (columns 512, rows 300), and
// on a sub-region: every pixel is the product of the two blurred steps.
TEST(GaussianAgainstTaps, MatchesTheSampledGaussianOnACorner) {
    const int w = 1100, h = 600;
    const Image corner = test::Painted(w, h, [&](int x, int y) {
        const float v = x >= 509 && y >= 296 ? 1.f : 0.f;
        return Rgba{v, v, v, 1.f};
    });
    for (const double sigma : {1.0, 2.5, 3.0, 3.5, 10.0, 35.0, 150.0, 2000.0})
        for (const fx::Rect region : {fx::Rect{0, 0, w, h}, fx::Rect{500, 250, 300, 97}}) {
            Image out = test::DeepCopy(corner);
            fx::GaussianBlurRegion(corner, region, sigma, out, [](int, int, int, float*) {});
            const auto across = BlurredStep(region.width, 509 - region.x, sigma);
            const auto down = BlurredStep(region.height, 296 - region.y, sigma);
            double worst = 0;
            for (int y = 0; y < region.height; ++y)
                for (int x = 0; x < region.width; ++x) {
                    const float* p = out.row(region.y + y) + 4 * (region.x + x);
                    const double expected = across[std::size_t(x)] * down[std::size_t(y)];
                    for (int c = 0; c < 4; ++c)
                        worst = std::max(worst, std::abs(p[c] - (c == 3 ? 1.0 : expected)));
                }
            EXPECT_LT(worst, 3e-4) << "sigma " << sigma << ", region " << region.width;
        }
}

// [u v 0 1] M = W [a b . 1] solved for u, v; false behind the viewer or singular.
bool QuadPoint(const Transform3D& t, int w, int h, int x, int y, double* u, double* v) {
    const double aspect = double(h) / w;
    const double a = 2.0 * (x + 0.5) / w - 1.0;
    const double b = (2.0 * (y + 0.5) / h - 1.0) * aspect;
    const double p = t.m11 - a * t.m14, q = t.m21 - a * t.m24, r = a * t.m44 - t.m41;
    const double s = t.m12 - b * t.m14, k = t.m22 - b * t.m24, m = b * t.m44 - t.m42;
    const double det = p * k - q * s;
    if (det == 0) return false;
    *u = (r * k - q * m) / det;
    *v = (p * m - r * s) / det;
    return *u * t.m14 + *v * t.m24 + t.m44 > 0;
}

Image SlowTransform(const Image& source, const Transform3D& t) {
    const Image image = source.toFloat();
    const int w = image.width(), h = image.height();
    const double aspect = double(h) / w;
    return FromPremultiplied(w, h, [&](int x, int y) {
        double u = 0, v = 0;
        if (!QuadPoint(t, w, h, x, y, &u, &v)) return Pixel{};
        const double sx = (u + 1) * 0.5 * w - 0.5, sy = (v / aspect + 1) * 0.5 * h - 0.5;
        if (!(std::abs(sx) < 1e6 && std::abs(sy) < 1e6)) return Pixel{};
        return Sample(image, sx, sy, true);
    });
}

Transform3D Matrix(std::initializer_list<std::pair<double Transform3D::*, double>> cells) {
    Transform3D t;
    for (const auto& [cell, value] : cells) t.*cell = value;
    return t;
}

// Tilts, a turn, a zoom and a perspective whose horizon crosses the picture.
TEST(TransformAgainstDirectSolution, MatchesOnSeveralMatrices) {
    const double c = std::cos(0.3), s = std::sin(0.3);
    const Transform3D matrices[] = {
        Matrix({{&Transform3D::m14, 0.1}, {&Transform3D::m12, 0.05}}),
        Matrix({{&Transform3D::m11, 0.9},
                {&Transform3D::m12, 0.2},
                {&Transform3D::m14, 0.3},
                {&Transform3D::m41, 0.1}}),
        Matrix({{&Transform3D::m11, c},
                {&Transform3D::m12, s},
                {&Transform3D::m21, -s},
                {&Transform3D::m22, c},
                {&Transform3D::m42, -0.13}}),
        Matrix({{&Transform3D::m44, 0.4}, {&Transform3D::m41, 0.05}}),
        Matrix({{&Transform3D::m14, 1.5}, {&Transform3D::m24, -0.4}, {&Transform3D::m41, 0.2}}),
    };
    const Image inputs[] = {Image::FromQImage(test::PhotoLike(301, 203, true)),
                            Image::FromQImage(test::PhotoLike(256, 331)),
                            test::DeepCopy(Image::FromQImage(test::PhotoLike(97, 60, true))),
                            test::Shapes(120, 80)};
    for (const Image& input : inputs)
        for (std::size_t i = 0; i < std::size(matrices); ++i)
            EXPECT_LT(MaxDifference(ImageTools::TransformImage(input, matrices[i]),
                                    SlowTransform(input, matrices[i]), true),
                      0.5f / 255.f)
                << "matrix " << i << " on " << input.width() << "x" << input.height();
}

// One sample per pixel of the line's major axis, weighted by the joined
// nine weights at its distance in steps.
Image SlowMotionBlur(const Image& source, double blurSize, double degrees) {
    const Image image = source.toFloat();
    const int w = image.width(), h = image.height();
    const double step = blurSize * h / w;
    const double dx = std::cos(degrees * M_PI / 180), dy = std::sin(degrees * M_PI / 180);
    const bool horizontal = std::abs(dx) >= std::abs(dy);
    const double along = horizontal ? std::abs(dx) : std::abs(dy);
    const int reach = int(std::ceil(4 * step * along));
    return FromPremultiplied(w, h, [&](int x, int y) {
        Pixel acc{};
        double total = 0;
        for (int k = -reach; k <= reach; ++k) {
            const double weight = NineTapWeight(k / (step * along));
            if (weight == 0) continue;
            const Pixel p = horizontal ? Sample(image, x + k, y + k * dy / dx)
                                       : Sample(image, x + k * dx / dy, y + k);
            for (int c = 0; c < 4; ++c) acc[c] += weight * p[c];
            total += weight;
        }
        for (double& v : acc) v /= total;
        return acc;
    });
}

Image SlowZoomBlur(const Image& source, double blurSize) {
    const Image image = source.toFloat();
    const int w = image.width(), h = image.height();
    const double beta = blurSize / 100;
    const double cx = w / 2.0 - 0.5, cy = h / 2.0 - 0.5;  // pixel-index space
    return FromPremultiplied(w, h, [&](int x, int y) {
        const double ox = x - cx, oy = y - cy;
        const double major = std::max(std::abs(ox), std::abs(oy));
        if (major == 0) return Premultiplied(At(image, x, y));
        Pixel acc{};
        double total = 0;
        const int reach = int(std::ceil(4 * beta * major)) + 1;
        for (int k = -reach; k <= reach; ++k) {
            const double weight = NineTapWeight(k / (beta * major));
            if (weight == 0) continue;
            const double s = 1 + k / major;  // along the line through the centre
            const Pixel p = Sample(image, cx + s * ox, cy + s * oy);
            for (int c = 0; c < 4; ++c) acc[c] += weight * p[c];
            total += weight;
        }
        for (double& v : acc) v /= total;
        return acc;
    });
}

struct LineCase {
    float size;
    float angle;
    float tolerance;
};

class MotionAgainstSampling : public ::testing::TestWithParam<LineCase> {};

// Exact along the axes; at other angles softened across the motion by under a pixel.
TEST_P(MotionAgainstSampling, MatchesTheDenseIntegral) {
    const LineCase c = GetParam();
    const Image input = Image::FromQImage(test::PhotoLike(53, 35, true));
    const Image fast = ImageTools::MotionBlurImage(input, c.size, c.angle);
    EXPECT_LT(MaxDifference(fast, SlowMotionBlur(input, c.size, c.angle)), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Effects, MotionAgainstSampling,
                         ::testing::Values(LineCase{6.f, 0.f, 1e-5f}, LineCase{2.5f, 180.f, 1e-5f},
                                           LineCase{4.f, 90.f, 1e-5f}, LineCase{9.f, -90.f, 1e-5f},
                                           LineCase{6.f, 30.f, 0.01f}, LineCase{5.f, -135.f, 0.01f},
                                           LineCase{3.f, 100.f, 0.01f}));

class ZoomAgainstSampling : public ::testing::TestWithParam<float> {};

// Each pixel blends the two rays either side of it, at most a pixel apart,
// which softens across the rays by up to a pixel (as bilinear taps would).
TEST_P(ZoomAgainstSampling, MatchesTheDenseIntegral) {
    const float size = GetParam();
    for (const auto& [w, h] : {std::pair{54, 36}, std::pair{41, 57}}) {
        const Image input = Image::FromQImage(test::PhotoLike(w, h, true));
        EXPECT_LT(MaxDifference(ImageTools::ZoomBlurImage(input, size), SlowZoomBlur(input, size)),
                  0.015f)
            << w << "x" << h;
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, ZoomAgainstSampling, ::testing::Values(3.f, 10.f, 40.f));

}  // namespace
}  // namespace lumetra
