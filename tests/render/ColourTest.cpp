// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjustments against formulas computed independently in double
// precision, their rest values, and the chained sweep a pass runs them in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "settings/EditSettings.h"
#include "render/ColourStages.h"
#include "render/FastMath.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "render/EffectsTestSupport.h"

namespace lumetra {
namespace {

using test::Flat;
using test::PhotoLike;
using test::PixelAt;

double Clamp(double v) { return std::min(1.0, std::max(0.0, v)); }

struct Px {
    double r, g, b;
};

// A few pixels that reach into the corners of the colour cube.
const Px kSamples[] = {{0.2, 0.5, 0.9}, {1.0, 0.0, 0.0}, {0.0, 0.0, 0.0},
                       {1.0, 1.0, 1.0}, {0.75, 0.6, 0.1}, {0.05, 0.95, 0.5}};

Image SampleImage(float alpha) {
    const int n = int(std::size(kSamples));
    Image image = Image::CreateUninitialised(n, 1);
    for (int i = 0; i < n; ++i) {
        float* p = image.row(0) + 4 * i;
        p[0] = float(kSamples[i].r);
        p[1] = float(kSamples[i].g);
        p[2] = float(kSamples[i].b);
        p[3] = alpha;
    }
    return image;
}

struct ColourCase {
    const char* name;
    std::function<Image(const Image&)> apply;
    std::function<Px(const Px&)> expected;
};

class ColourFormula : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourFormula, MatchesFormulaAndKeepsAlpha) {
    const ColourCase& c = GetParam();
    const Image input = SampleImage(0.37f);
    const Image output = c.apply(input);
    ASSERT_EQ(output.width(), input.width());
    ASSERT_EQ(output.height(), input.height());
    for (int i = 0; i < input.width(); ++i) {
        const Px want = c.expected(kSamples[i]);
        const test::Rgba got = PixelAt(output, i, 0);
        EXPECT_NEAR(got.r, Clamp(want.r), 2e-5) << c.name << " sample " << i;
        EXPECT_NEAR(got.g, Clamp(want.g), 2e-5) << c.name << " sample " << i;
        EXPECT_NEAR(got.b, Clamp(want.b), 2e-5) << c.name << " sample " << i;
        EXPECT_EQ(got.a, 0.37f) << c.name << ": alpha must be untouched";
    }
    // The input is never changed.
    EXPECT_EQ(PixelAt(input, 0, 0).r, float(kSamples[0].r));
}

double Luma(const Px& p) { return 0.2125 * p.r + 0.7154 * p.g + 0.0721 * p.b; }

Px HueReference(const Px& p, double degrees) {
    // Independent oracle: through the chroma's polar form.
    const double y = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
    const double i = 0.595716 * p.r - 0.274453 * p.g - 0.321263 * p.b;
    const double q = 0.211456 * p.r - 0.522591 * p.g + 0.31135 * p.b;
    const double chroma = std::hypot(i, q);
    const double angle = std::atan2(q, i) - std::fmod(degrees, 360.0) * M_PI / 180.0;
    const double i2 = chroma * std::cos(angle);
    const double q2 = chroma * std::sin(angle);
    return {y + 0.9563 * i2 + 0.6210 * q2, y - 0.2721 * i2 - 0.6474 * q2,
            y - 1.1070 * i2 + 1.7046 * q2};
}

Px SepiaReference(const Px& p, double k) {
    const Px s{0.3588 * p.r + 0.7044 * p.g + 0.1368 * p.b, 0.2990 * p.r + 0.5870 * p.g + 0.1140 * p.b,
               0.2392 * p.r + 0.4696 * p.g + 0.0912 * p.b};
    return {p.r + (s.r - p.r) * k, p.g + (s.g - p.g) * k, p.b + (s.b - p.b) * k};
}

// The same function of every channel.
template <class F>
Px Each(const Px& p, F f) {
    return {f(p.r), f(p.g), f(p.b)};
}

using I = const Image&;

INSTANTIATE_TEST_SUITE_P(
    Colour, ColourFormula,
    ::testing::Values(
        ColourCase{"brightness", [](I i) { return ImageTools::BrightnessImage(i, 0.25f); },
                   [](const Px& p) { return Each(p, [](double c) { return c + 0.25; }); }},
        ColourCase{"exposure", [](I i) { return ImageTools::ExposureImage(i, 1.5f); },
                   [](const Px& p) { return Each(p, [](double c) { return c * 2.828427125; }); }},
        ColourCase{"contrast", [](I i) { return ImageTools::ContrastImage(i, 1.8f); },
                   [](const Px& p) { return Each(p, [](double c) { return c * 1.8 - 0.4; }); }},
        ColourCase{"grey", [](I i) { return ImageTools::SaturationImage(i, 0.f); },
                   [](const Px& p) { return Each(p, [&](double) { return Luma(p); }); }},
        ColourCase{"saturation", [](I i) { return ImageTools::SaturationImage(i, 1.6f); },
                   [](const Px& p) {
                       return Each(p, [l = Luma(p)](double c) { return l + (c - l) * 1.6; });
                   }},
        ColourCase{"gamma", [](I i) { return ImageTools::GammaImage(i, 2.2f); },
                   [](const Px& p) { return Each(p, [](double c) { return std::pow(c, 2.2); }); }},
        ColourCase{"gamma below one", [](I i) { return ImageTools::GammaImage(i, 0.45f); },
                   [](const Px& p) { return Each(p, [](double c) { return std::pow(c, 0.45); }); }},
        ColourCase{"hue 90", [](I i) { return ImageTools::HueImage(i, 90.f); },
                   [](const Px& p) { return HueReference(p, 90.0); }},
        ColourCase{"hue 400", [](I i) { return ImageTools::HueImage(i, 400.f); },
                   [](const Px& p) { return HueReference(p, 40.0); }},
        ColourCase{"hue negative", [](I i) { return ImageTools::HueImage(i, -30.f); },
                   [](const Px& p) { return HueReference(p, -30.0); }},
        ColourCase{"balance", [](I i) { return ImageTools::RGBImage(i, 0.5f, 1.f, 2.f); },
                   [](const Px& p) { return Px{p.r * 0.5, p.g, p.b * 2.0}; }},
        ColourCase{"grayscale", [](I i) { return ImageTools::GrayscaleImage(i); },
                   [](const Px& p) { return Each(p, [&](double) { return Luma(p); }); }},
        ColourCase{"half sepia", [](I i) { return ImageTools::SepiaImage(i, 0.5f); },
                   [](const Px& p) { return SepiaReference(p, 0.5); }}),
    [](const ::testing::TestParamInfo<ColourCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(Colour, OperationsAtRestReturnTheirInputItself) {
    const Image input = SampleImage(1.f);
    EXPECT_TRUE(ImageTools::BrightnessImage(input, 0.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::ExposureImage(input, 0.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::ContrastImage(input, 1.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::SaturationImage(input, 1.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::GammaImage(input, 1.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::HueImage(input, 0.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::HueImage(input, 360.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::RGBImage(input, 1.f, 1.f, 1.f).sharesPixelsWith(input));
    EXPECT_FALSE(ImageTools::RGBImage(input, 1.f, 1.f, 0.99f).sharesPixelsWith(input));
}

// The chained sweep is only a faster way of running the same adjustments:
// every combination of them, on 8-bit pictures in either byte order and on
// float pictures, with alpha, must give exactly the pictures the single
// functions give one after another, and the same pictures from every
// storage (a swapped channel shows up here).
TEST(Colour, ChainedSweepEqualsTheAdjustmentsOneAfterAnother) {
    const QImage source = PhotoLike(1500, 7, true);  // rows end mid-piece
    const Image argb = Image::FromQImage(source);
    const Image rgba = Image::FromQImage(source.convertToFormat(QImage::Format_RGBA8888));
    const Image floats = argb.toFloat();
    ASSERT_FALSE(argb.isFloat() || rgba.isFloat());
    for (int combination = 0; combination < 1 << 11; combination += 7) {
        ColourStages c;
        auto on = [combination](int bit) { return (combination >> bit & 1) != 0; };
        if (on(0)) c.brightness = -0.08f;
        if (on(1)) c.exposure = 0.4f;
        if (on(2)) c.contrast = 1.3f;
        if (on(3)) c.saturation = 0.6f;
        if (on(4)) c.gamma = 1.7f;
        if (on(5)) c.hue = 400.f;
        if (on(6)) c.blue = 1.2f;
        c.blackWhite = on(7);
        c.sepia = on(8);
        c.sepiaIntensity = on(9) ? 0.7f : 0.f;
        if (on(10)) c.red = 0.9f;
        std::vector<Image> results;
        for (const Image* input : {&floats, &argb, &rgba}) {
            Image expected = ImageTools::BrightnessImage(*input, c.brightness);
            expected = ImageTools::ExposureImage(expected, c.exposure);
            expected = ImageTools::ContrastImage(expected, c.contrast);
            expected = ImageTools::SaturationImage(expected, c.saturation);
            expected = ImageTools::GammaImage(expected, c.gamma);
            expected = ImageTools::HueImage(expected, c.hue);
            expected = ImageTools::RGBImage(expected, c.red, c.green, c.blue);
            if (c.blackWhite) expected = ImageTools::GrayscaleImage(expected);
            if (c.sepia) expected = ImageTools::SepiaImage(expected, c.sepiaIntensity);
            const Image chained = ApplyColourStages(*input, c);
            ASSERT_EQ(chained.isFloat(), expected.isFloat()) << combination;
            if (!chained.isFloat()) {
                EXPECT_TRUE(chained.sharesPixelsWith(*input)) << combination;
                continue;
            }
            for (int y = 0; y < chained.height(); ++y)
                ASSERT_EQ(0, std::memcmp(chained.row(y), expected.row(y),
                                         chained.rowFloats() * sizeof(float)))
                    << "combination " << combination << ", row " << y;
            results.push_back(chained);
        }
        for (const Image& other : results) ASSERT_EQ(test::MaxDifference(other, results[0]), 0.f);
    }
}

TEST(Colour, FastPowerFollowsTheLibraryOverTheUnitRange) {
    double worst = 0.0;
    for (const float g : {0.f, 0.1f, 0.45f, 1.f, 1.7f, 2.2f, 3.f}) {
        for (int i = 0; i <= 1000; ++i) {
            const float x = float(i) / 1000.f;
            const double want = std::pow(double(x), double(g));
            const double got = FastPow01(x, g);
            worst = std::max(worst, std::abs(got - want));
        }
    }
    EXPECT_LT(worst, 2e-6);
}

}  // namespace
}  // namespace lumetra
