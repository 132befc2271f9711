// SPDX-License-Identifier: GPL-3.0-or-later
// Properties of the effect filters that catch faults without restating
// their formulas: sizes and purity, odd parameters, the vignette band, flat
// areas and edges, the Gaussian's totals and the geometry of cells.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/EffectsTestSupport.h"
#include "render/FastMath.h"
#include "render/ImageTools.h"
#include "render/WarpAvx2.h"

namespace lumetra {
namespace {

using test::DeepCopy;
using test::Flat;
using test::MaxDifference;
using test::PixelAt;
using test::Rgba;

struct Effect {
    const char* name;
    std::function<Image(const Image&)> apply;
};

#if LUMETRA_HAS_AVX2_VARIANT
// The eight-lane sine and cosine of x in every lane.
LUMETRA_TARGET_AVX2 void SinCosEightLanes(float x, float* sines, float* cosines) {
    __m256 s, c;
    fx::avx2::SinCos(_mm256_set1_ps(x), &s, &c);
    _mm256_storeu_ps(sines, s);
    _mm256_storeu_ps(cosines, c);
}
#endif

std::ostream& operator<<(std::ostream& out, const Effect& e) {
    return out << e.name;
}

Transform3D Tilted() {
    Transform3D t;
    t.m11 = 0.9;
    t.m12 = 0.2;
    t.m14 = 0.3;
    t.m41 = 0.1;
    return t;
}

// Every effect at its panel default (the transform tilted, since the
// identity returns its input).
const Effect kEffects[] = {
    {"Cartoon", [](const Image& i) { return ImageTools::CartoonImage(i, 2.f, 0.2f, 10.f); }},
    {"OilPaint", [](const Image& i) { return ImageTools::OilPaintImage(i, 4); }},
    {"Vignette", [](const Image& i) { return ImageTools::VignetteImage(i, 0.f); }},
    {"Pixelate", [](const Image& i) { return ImageTools::PixelateImage(i, 0.02f); }},
    {"Halftone", [](const Image& i) { return ImageTools::HalftoneImage(i, 0.02f); }},
    {"Blur", [](const Image& i) { return ImageTools::BlurImage(i, 35.f); }},
    {"CircleBlur", [](const Image& i) { return ImageTools::CircleBlurImage(i, 15.f, 0.2f); }},
    {"FocusBlur", [](const Image& i) { return ImageTools::FocusBlurImage(i, 25.f, 0.6f, 0.4f); }},
    {"MotionBlur", [](const Image& i) { return ImageTools::MotionBlurImage(i, 40.f, 0.f); }},
    {"MotionBlurOblique",
     [](const Image& i) { return ImageTools::MotionBlurImage(i, 7.f, -110.f); }},
    {"ZoomBlur", [](const Image& i) { return ImageTools::ZoomBlurImage(i, 1.f); }},
    {"ZoomBlurStrong", [](const Image& i) { return ImageTools::ZoomBlurImage(i, 30.f); }},
    {"Transform", [](const Image& i) { return ImageTools::TransformImage(i, Tilted()); }},
    {"Swirl", [](const Image& i) { return ImageTools::SwirlImage(i, 0.5f, 1.f); }},
    {"GlassSphere", [](const Image& i) { return ImageTools::GlassSphereImage(i, 0.25f, 0.71f); }},
};

class EveryEffect : public ::testing::TestWithParam<Effect> {};

TEST_P(EveryEffect, KeepsTheSizeLeavesItsInputAloneAndStaysInRange) {
    // Odd and even sizes, landscape and portrait, 8-bit and float, with alpha.
    const Image inputs[] = {Image::FromQImage(test::PhotoLike(61, 37, true)),
                            DeepCopy(Image::FromQImage(test::PhotoLike(40, 64))),
                            test::Shapes(1, 1),
                            test::Shapes(2, 3),
                            test::Shapes(7, 1),
                            test::Shapes(1, 6)};
    for (const Image& input : inputs) {
        const Image before = DeepCopy(input);
        const Image out = GetParam().apply(input);
        ASSERT_EQ(out.width(), input.width());
        ASSERT_EQ(out.height(), input.height());
        EXPECT_EQ(MaxDifference(input, before), 0.f) << "the input changed";
        EXPECT_TRUE(test::InUnitRange(out)) << input.width() << "x" << input.height();
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, EveryEffect, ::testing::ValuesIn(kEffects),
                         [](const auto& info) { return std::string(info.param.name); });

// A parameter that is not a number must neither crash nor produce NaN
// pixels: the picture comes back as it was.
TEST(Effects, NonFiniteParametersLeaveThePictureAsItWas) {
    const Image input = Image::FromQImage(test::PhotoLike(30, 20));
    const float nan = std::nanf("");
    const float inf = INFINITY;
    Transform3D broken;
    broken.m22 = nan;
    const Image outs[] = {ImageTools::CartoonImage(input, nan, 0.2f, 10.f),
                          ImageTools::CartoonImage(input, 2.f, 0.2f, inf),
                          ImageTools::VignetteImage(input, nan),
                          ImageTools::PixelateImage(input, inf),
                          ImageTools::HalftoneImage(input, nan),
                          ImageTools::BlurImage(input, nan),
                          ImageTools::CircleBlurImage(input, nan, 0.2f),
                          ImageTools::FocusBlurImage(input, 25.f, inf, 0.4f),
                          ImageTools::MotionBlurImage(input, 40.f, nan),
                          ImageTools::ZoomBlurImage(input, -inf),
                          ImageTools::TransformImage(input, broken),
                          ImageTools::SwirlImage(input, 0.5f, nan),
                          ImageTools::GlassSphereImage(input, nan, 0.71f)};
    for (const Image& out : outs) EXPECT_TRUE(out.sharesPixelsWith(input));
}

// Values far beyond the panel's ranges, as a settings text could carry:
// every effect still ends, with a picture of the right size in range.
TEST(Effects, ExtremeParametersGivePicturesInRange) {
    const Image input = Image::FromQImage(test::PhotoLike(24, 16, true));
    Transform3D huge;
    huge.m11 = 1e300;
    huge.m34 = -1e300;
    const Image outs[] = {ImageTools::CartoonImage(input, 1e9f, -1.f, -3.f),
                          ImageTools::OilPaintImage(input, 4294967295u),
                          ImageTools::VignetteImage(input, -1e30f),
                          ImageTools::PixelateImage(input, 1e30f),
                          ImageTools::HalftoneImage(input, -5.f),
                          ImageTools::BlurImage(input, 1e30f),
                          ImageTools::CircleBlurImage(input, 1e30f, 1e30f),
                          ImageTools::FocusBlurImage(input, 1e9f, -2.f, -7.f),
                          ImageTools::MotionBlurImage(input, -1e30f, 1e30f),
                          ImageTools::ZoomBlurImage(input, 1e30f),
                          ImageTools::TransformImage(input, huge),
                          ImageTools::SwirlImage(input, 1e30f, 1e30f),
                          ImageTools::GlassSphereImage(input, 1e30f, -1e30f)};
    for (const Image& out : outs) {
        ASSERT_EQ(out.width(), 24);
        ASSERT_EQ(out.height(), 16);
        EXPECT_TRUE(test::InUnitRange(out));
    }
}

// The fast sine and cosine the swirl turns by, and their eight-lane variant:
// within 1e-6 of the library over the panel's turns; for arguments far
// beyond them (a huge swirl angle), infinite or NaN, what the nearest end of
// the reduced range gives, still a sine and cosine of one angle.
TEST(Effects, FastSineAndCosineHoldForEveryArgument) {
    struct Both {
        float s, c;
    };
    std::vector<Both (*)(float)> variants = {+[](float x) {
        Both r{2.f, 2.f};
        FastSinCos(x, &r.s, &r.c);
        return r;
    }};
#if LUMETRA_HAS_AVX2_VARIANT
    if (CpuHasAvx2())
        variants.push_back(+[](float x) {
            float lanes[2][8];
            SinCosEightLanes(x, lanes[0], lanes[1]);
            return Both{lanes[0][7], lanes[1][7]};
        });
#endif
    int variant = 0;
    for (const auto sinCos : variants) {
        ++variant;
        for (const float x : {-40.f, -3.2f, -0.7f, 0.f, 1e-3f, 1.5707964f, 2.f, 39.9f}) {
            EXPECT_NEAR(sinCos(x).s, std::sin(double(x)), 1e-6) << variant << ": " << x;
            EXPECT_NEAR(sinCos(x).c, std::cos(double(x)), 1e-6) << variant << ": " << x;
        }
        for (const float x : {-INFINITY, -1e30f, -3e6f, 3e6f, 1e30f, INFINITY, std::nanf("")}) {
            const Both r = sinCos(x);
            EXPECT_NEAR(double(r.s) * r.s + double(r.c) * r.c, 1.0, 1e-5) << variant << ": " << x;
            const Both end = sinCos(x > 0.f ? kSinCosLimit : -kSinCosLimit);  // NaN: the low end
            EXPECT_EQ(r.s, end.s) << variant << ": " << x;
            EXPECT_EQ(r.c, end.c) << variant << ": " << x;
        }
    }
}

// ---- Vignette --------------------------------------------------------------

struct VignetteCase {
    float offset;
    double start;
    double end;
};

class VignetteBand : public ::testing::TestWithParam<VignetteCase> {};

// Pixels nearer the centre than the start keep their colour, those beyond
// the end are black, and those between are darkened but not black. The
// distance is normalised per axis, so the band is an ellipse here.
TEST_P(VignetteBand, DarkensFromStartToEnd) {
    const VignetteCase c = GetParam();
    const int w = 240, h = 150;
    const Image input = Flat(w, h, 0.8f, 0.6f, 0.4f, 0.7f);
    const Image out = ImageTools::VignetteImage(input, c.offset);
    int between = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot((x + 0.5) / w - 0.5, (y + 0.5) / h - 0.5);
            const Rgba p = PixelAt(out, x, y);
            ASSERT_EQ(p.a, 0.7f);
            if (d <= c.start - 1e-9) {
                ASSERT_EQ(p.r, 0.8f) << x << "," << y;
                ASSERT_EQ(p.b, 0.4f);
            } else if (d >= c.end + 1e-9) {
                ASSERT_EQ(p.r, 0.f) << x << "," << y;
                ASSERT_EQ(p.g, 0.f);
            } else if (d > c.start + 0.01 && d < c.end - 0.01) {
                ASSERT_GT(p.r, 0.f);
                ASSERT_LT(p.r, 0.8f);
                ++between;
            }
        }
    // The farthest corner lies at 0.707: a band starting beyond it darkens
    // nothing, any other band has pixels inside it.
    if (c.start < 0.7)
        EXPECT_GT(between, 0);
    else
        EXPECT_TRUE(out.sharesPixelsWith(input));
}

INSTANTIATE_TEST_SUITE_P(Effects, VignetteBand,
                         ::testing::Values(VignetteCase{-0.25f, 0.25, 0.5},
                                           VignetteCase{0.f, 0.5, 0.75},
                                           VignetteCase{0.25f, 0.75, 1.0}));

// ---- Oil painting ----------------------------------------------------------

TEST(OilPaint, FlatAreaStaysFlatAndKeepsAlpha) {
    const Image input = Flat(50, 40, 0.3f, 0.6f, 0.9f, 0.5f);
    const Image out = ImageTools::OilPaintImage(input, 3);
    EXPECT_LT(MaxDifference(out, input), 1e-6f);
}

TEST(OilPaint, StepEdgesStaySharp) {
    // Left half dark, right half light, and a light band across the bottom.
    const Image input = test::Painted(60, 48, [](int x, int y) {
        const bool light = x >= 27 || y >= 30;
        return light ? Rgba{0.9f, 0.8f, 0.7f, 1.f} : Rgba{0.1f, 0.2f, 0.3f, 1.f};
    });
    for (const unsigned radius : {1u, 3u, 6u}) {
        const Image out = ImageTools::OilPaintImage(input, radius);
        EXPECT_LT(MaxDifference(out, input), 1e-6f) << "radius " << radius;
    }
}

TEST(OilPaint, BrushGrowsWithThePicture) {
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 500), 4);
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 768), 4);
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 6000), 31);  // 4 * 7.8125 = 31.25
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(0, 6000), 0);
    const Image input = Image::FromQImage(test::PhotoLike(20, 10));
    EXPECT_TRUE(ImageTools::OilPaintImage(input, 0).sharesPixelsWith(input));
}

// ---- Gaussian blur ---------------------------------------------------------

TEST(Blur, ConstantStaysConstant) {
    const Image input = Flat(90, 70, 0.25f, 0.5f, 0.75f, 0.6f);
    for (const float radius : {1.f, 4.f, 35.f, 100.f, 5000.f})
        EXPECT_LT(MaxDifference(ImageTools::BlurImage(input, radius), input), 1e-5f) << radius;
}

TEST(Blur, KeepsTotalBrightness) {
    // A bright square far enough from the edges that no light leaves.
    const Image input = test::Painted(160, 160, [](int x, int y) {
        const float v = (x >= 70 && x < 90 && y >= 60 && y < 100) ? 1.f : 0.f;
        return Rgba{v, v * 0.5f, 0.f, 1.f};
    });
    const Image out = ImageTools::BlurImage(input, 10.f);
    double before = 0, after = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x) {
            before += PixelAt(input, x, y).r;
            after += PixelAt(out, x, y).r;
        }
    // The recursive filter's tiny negative lobes are cut off at zero, which
    // adds a few parts in ten thousand; a wrongly scaled kernel adds percents.
    EXPECT_NEAR(after, before, before * 1e-3);
    EXPECT_LT(PixelAt(out, 80, 80).r, 0.95f);  // and it did blur
}

TEST(Blur, RadiusIsRoundedAndBelowOnePixelDoesNothing) {
    const Image input = Image::FromQImage(test::PhotoLike(30, 20));
    EXPECT_TRUE(ImageTools::BlurImage(input, 0.49f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::BlurImage(input, -3.f).sharesPixelsWith(input));
    EXPECT_EQ(ImageTools::GaussianSigma(0.5f), 1.0);
    EXPECT_EQ(ImageTools::GaussianSigma(2.5f), 3.0);
    EXPECT_EQ(ImageTools::GaussianSigma(34.6f), 35.0);
    EXPECT_EQ(MaxDifference(ImageTools::BlurImage(input, 2.6f), ImageTools::BlurImage(input, 3.f)),
              0.f);
}

// Transparent pixels must not darken their neighbours: colours are blurred
// premultiplied, so only the alpha fades.
TEST(Blur, TransparencyAddsNoDarkFringe) {
    const Image input = test::Painted(80, 40, [](int x, int) {
        return x < 40 ? Rgba{0.f, 0.f, 0.f, 0.f} : Rgba{1.f, 0.8f, 0.6f, 1.f};
    });
    const std::function<Image(const Image&)> blurs[] = {
        [](const Image& i) { return ImageTools::BlurImage(i, 6.f); },
        [](const Image& i) { return ImageTools::CircleBlurImage(i, 3.f, 0.5f); },
        [](const Image& i) { return ImageTools::FocusBlurImage(i, 6.f, 0.1f, 0.05f); },
        [](const Image& i) { return ImageTools::MotionBlurImage(i, 10.f, 0.f); },
        [](const Image& i) { return ImageTools::ZoomBlurImage(i, 10.f); }};
    for (const auto& blur : blurs) {
        const Image out = blur(input);
        for (int x = 30; x < 50; ++x) {
            const Rgba p = PixelAt(out, x, 20);
            if (p.a < 0.02f) continue;
            EXPECT_NEAR(p.r, 1.f, 1e-3f) << "x " << x;
            EXPECT_NEAR(p.b, 0.6f, 1e-3f) << "x " << x;
        }
    }
}

// ---- Pixelate and halftone -------------------------------------------------

struct CellCase {
    int width;
    int height;
    float fraction;
};

class PixelateCells : public ::testing::TestWithParam<CellCase> {};

// Each pixel belongs to the cell its centre falls in, cells of fraction *
// width pixels counted from the top-left; every cell is flat and holds the
// average of its pixels.
TEST_P(PixelateCells, AreFlatAverageAndAnchoredTopLeft) {
    const CellCase c = GetParam();
    const Image input = test::Shapes(c.width, c.height);
    const Image out = ImageTools::PixelateImage(input, c.fraction);
    const double side = std::max(1.0, double(c.fraction) * c.width);
    auto cellOf = [side](int p) { return int(std::floor((p + 0.5) / side)); };
    const int columns = cellOf(c.width - 1) + 1;
    const int rows = cellOf(c.height - 1) + 1;
    std::vector<double> sum(std::size_t(columns * rows), 0.0);
    std::vector<int> count(std::size_t(columns * rows), 0);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const std::size_t cell = std::size_t(cellOf(y) * columns + cellOf(x));
            sum[cell] += PixelAt(input, x, y).g;
            ++count[cell];
        }
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const std::size_t cell = std::size_t(cellOf(y) * columns + cellOf(x));
            ASSERT_NEAR(PixelAt(out, x, y).g, sum[cell] / count[cell], 1e-5) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Effects, PixelateCells,
                         ::testing::Values(CellCase{100, 60, 0.1f}, CellCase{105, 61, 0.1f},
                                           CellCase{50, 80, 0.137f}, CellCase{64, 64, 0.5f},
                                           CellCase{30, 20, 0.04f}, CellCase{30, 20, 1.5f}));

TEST(Pixelate, CellsOfOnePixelLeaveThePicture) {
    const Image input = Image::FromQImage(test::PhotoLike(40, 30));
    EXPECT_TRUE(ImageTools::PixelateImage(input, 0.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::PixelateImage(input, 1.f / 40.f).sharesPixelsWith(input));
}

// Ink on paper: darker cells get bigger dots, white gets none, and the
// result is opaque grey even where the input was transparent.
TEST(Halftone, DotsGrowWithDarknessOnOpaqueWhite) {
    auto ink = [](float grey, float alpha) {
        const Image out = ImageTools::HalftoneImage(Flat(100, 60, grey, grey, grey, alpha), 0.1f);
        double total = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 100; ++x) {
                const Rgba p = PixelAt(out, x, y);
                EXPECT_EQ(p.a, 1.f);
                EXPECT_TRUE(p.r == p.g && p.g == p.b);
                total += 1.0 - p.r;
            }
        return total / (100 * 60);
    };
    EXPECT_EQ(ink(1.f, 1.f), 0.0);
    EXPECT_EQ(ink(0.f, 0.f), 0.0);  // nothing to print
    const double light = ink(0.75f, 1.f), mid = ink(0.5f, 1.f), dark = ink(0.f, 1.f);
    EXPECT_LT(0.0, light);
    EXPECT_LT(light, mid);
    EXPECT_LT(mid, dark);
    // A black cell's dot fills the circle inscribed in it: pi / 4 of it.
    EXPECT_NEAR(dark, M_PI / 4, 0.03);
}

// ---- Cartoon ---------------------------------------------------------------

TEST(Cartoon, PosterisesFlatAreasAndOutlinesEdgesInBlack) {
    const Image flat = Flat(40, 30, 0.33f, 0.66f, 0.96f, 0.8f);
    const Rgba p = PixelAt(ImageTools::CartoonImage(flat, 2.f, 0.2f, 10.f), 20, 15);
    EXPECT_NEAR(p.r, 0.3f, 1e-6f);
    EXPECT_NEAR(p.g, 0.7f, 1e-6f);
    EXPECT_NEAR(p.b, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p.a, 0.8f);
    // No levels: the colour stays.
    EXPECT_NEAR(PixelAt(ImageTools::CartoonImage(flat, 2.f, 0.2f, 0.f), 5, 5).r, 0.33f, 1e-6f);

    const Image step = test::Painted(40, 30, [](int x, int) {
        return x < 20 ? Rgba{0.1f, 0.1f, 0.1f, 1} : Rgba{0.9f, 0.9f, 0.9f, 1};
    });
    const Image out = ImageTools::CartoonImage(step, 0.f, 0.5f, 10.f);
    EXPECT_EQ(PixelAt(out, 19, 15).r, 0.f);  // on the edge
    EXPECT_EQ(PixelAt(out, 20, 15).r, 0.f);
    EXPECT_NEAR(PixelAt(out, 10, 15).r, 0.1f, 1e-6f);
    EXPECT_NEAR(PixelAt(out, 30, 15).r, 0.9f, 1e-6f);
}

}  // namespace
}  // namespace lumetra
