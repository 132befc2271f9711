// SPDX-License-Identifier: GPL-3.0-or-later
// Properties of the effect filters: sizes, purity and storage for every
// effect, parameters that change nothing, radii, and where the positional
// effects act. (Each effect's own picture: the goldens.)
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"

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
    bool keepsFlat;  // a picture of one colour comes back as it was
};

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

using I = const Image&;

// Every effect at its panel default (the transform tilted, since the
// identity returns its input), and at values that take other paths.
const Effect kEffects[] = {
    {"Cartoon", [](I i) { return ImageTools::CartoonImage(i, 2.f, 0.2f, 10.f); }, false},
    {"OilPaint", [](I i) { return ImageTools::OilPaintImage(i, 4); }, true},
    {"Vignette", [](I i) { return ImageTools::VignetteImage(i, 0.f); }, false},
    {"Pixelate", [](I i) { return ImageTools::PixelateImage(i, 0.02f); }, true},
    {"Halftone", [](I i) { return ImageTools::HalftoneImage(i, 0.02f); }, false},
    {"Blur", [](I i) { return ImageTools::BlurImage(i, 35.f); }, true},
    {"BlurWiderThanThePicture", [](I i) { return ImageTools::BlurImage(i, 5000.f); }, true},
    {"CircleBlur", [](I i) { return ImageTools::CircleBlurImage(i, 15.f, 0.2f); }, true},
    {"FocusBlur", [](I i) { return ImageTools::FocusBlurImage(i, 25.f, 0.6f, 0.4f); }, true},
    {"MotionBlur", [](I i) { return ImageTools::MotionBlurImage(i, 40.f, 0.f); }, true},
    {"MotionBlurOblique", [](I i) { return ImageTools::MotionBlurImage(i, 7.f, -110.f); }, true},
    {"ZoomBlur", [](I i) { return ImageTools::ZoomBlurImage(i, 1.f); }, true},
    {"ZoomBlurStrong", [](I i) { return ImageTools::ZoomBlurImage(i, 30.f); }, true},
    {"Transform", [](I i) { return ImageTools::TransformImage(i, Tilted()); }, false},
    {"Swirl", [](I i) { return ImageTools::SwirlImage(i, 0.5f, 1.f); }, true},
    {"SwirlStrong", [](I i) { return ImageTools::SwirlImage(i, 0.9f, -3.f); }, true},
    {"GlassSphere", [](I i) { return ImageTools::GlassSphereImage(i, 0.25f, 0.71f); }, false},
    {"GlassSphereReflecting", [](I i) { return ImageTools::GlassSphereImage(i, 0.6f, 1.6f); },
     false},
};

// Sharp edges and gradients with alpha varying across, fully transparent in
// one corner, in each 8-bit layout (the opaque ones drop the alpha).
Image EightBit(QImage::Format format, int w, int h) {
    QImage shapes = test::Shapes(w, h).toQImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(shapes.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]),
                           std::clamp(255 * (x + y) / (w + h) * 2 - 40, 0, 255));
    }
    return Image::FromQImage(shapes.convertToFormat(format));
}

class EveryEffect : public ::testing::TestWithParam<Effect> {};

// Down to one pixel; an 8-bit picture in any layout gives what its float copy gives.
TEST_P(EveryEffect, KeepsTheSizeAndItsInputAndReadsEveryLayoutAsItsFloatCopy) {
    const Effect& e = GetParam();
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32,
                                        QImage::Format_RGBX8888, QImage::Format_RGBA8888})
        for (const auto& [w, h] :
             {std::pair{61, 37}, {40, 64}, {7, 5}, {1, 1}, {2, 3}, {7, 1}, {1, 6}}) {
            const Image bytes = EightBit(format, w, h);
            ASSERT_FALSE(bytes.isFloat());
            const Image floats = DeepCopy(bytes), before = DeepCopy(bytes);
            const Image fromBytes = e.apply(bytes), fromFloats = e.apply(floats);
            ASSERT_EQ(fromBytes.width(), w);
            ASSERT_EQ(fromBytes.height(), h);
            EXPECT_EQ(MaxDifference(bytes, before) + MaxDifference(floats, before), 0.f);
            EXPECT_TRUE(test::InUnitRange(fromBytes) && test::InUnitRange(fromFloats));
            EXPECT_LT(MaxDifference(fromBytes, fromFloats, true), 1e-3f)
                << format << " " << w << "x" << h;
        }
    if (e.keepsFlat) {
        const Image flat = Flat(50, 30, 0.25f, 0.5f, 0.75f, 0.6f);
        EXPECT_LT(MaxDifference(e.apply(flat), flat), 1e-5f);
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, EveryEffect, ::testing::ValuesIn(kEffects),
                         [](const auto& info) { return std::string(info.param.name); });

// Parameters that leave nothing to do or are not numbers: the picture itself.
TEST(Effects, ParametersThatChangeNothingReturnThePictureItself) {
    const Image input = Image::FromQImage(test::PhotoLike(40, 20));
    const float nan = std::nanf("");
    const float inf = INFINITY;
    Transform3D broken;
    broken.m22 = nan;
    const Image outs[] = {ImageTools::CartoonImage(input, nan, 0.2f, 10.f),
                          ImageTools::CartoonImage(input, 2.f, 0.2f, inf),
                          ImageTools::OilPaintImage(input, 0),
                          ImageTools::VignetteImage(input, nan),
                          ImageTools::PixelateImage(input, inf),
                          ImageTools::PixelateImage(input, 0.f),
                          ImageTools::PixelateImage(input, 1.f / 40.f),  // one-pixel cells
                          ImageTools::HalftoneImage(input, nan),
                          ImageTools::BlurImage(input, nan),
                          ImageTools::BlurImage(input, 0.49f),  // below one pixel
                          ImageTools::BlurImage(input, -3.f),
                          ImageTools::CircleBlurImage(input, nan, 0.2f),
                          ImageTools::FocusBlurImage(input, 25.f, inf, 0.4f),
                          ImageTools::MotionBlurImage(input, 40.f, nan),
                          ImageTools::ZoomBlurImage(input, -inf),
                          ImageTools::TransformImage(input, broken),
                          ImageTools::TransformImage(input, Transform3D::Identity()),
                          ImageTools::SwirlImage(input, 0.5f, nan),
                          ImageTools::SwirlImage(input, 0.f, 1.f),
                          ImageTools::SwirlImage(input, 0.5f, 0.f),
                          ImageTools::GlassSphereImage(input, nan, 0.71f)};
    for (std::size_t i = 0; i < std::size(outs); ++i)
        EXPECT_TRUE(outs[i].sharesPixelsWith(input)) << i;
}

// The oil painting's brush grows with pictures wider than 768 pixels; the
// blur's radius is rounded half away from zero.
TEST(Effects, Radii) {
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 500), 4);
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 768), 4);
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(4, 6000), 31);  // 4 * 7.8125 = 31.25
    EXPECT_EQ(ImageTools::OilPaintPixelRadius(0, 6000), 0);
    const Image input = Image::FromQImage(test::PhotoLike(30, 20));
    EXPECT_EQ(ImageTools::GaussianSigma(0.5f), 1.0);
    EXPECT_EQ(ImageTools::GaussianSigma(2.5f), 3.0);
    EXPECT_EQ(ImageTools::GaussianSigma(34.6f), 35.0);
    EXPECT_EQ(MaxDifference(ImageTools::BlurImage(input, 2.6f), ImageTools::BlurImage(input, 3.f)),
              0.f);
}

struct Region {
    const char* name;
    std::function<Image(const Image&)> apply;
    bool normalised;   // distances in shares of each side (an ellipse), else in pixels
    double keep[2];    // pixels at distances in this range stay bit for bit
    double change[2];  // and nearly all of those in this one change
    std::function<Image(const Image&)> changedTo;  // into this, when given
};

TEST(Effects, PositionalEffectsActOnlyWithinTheirCircles) {
    const double far = 1e9;
    const Region regions[] = {
        {"swirl",
         [](I i) { return ImageTools::SwirlImage(i, 0.3f, 2.f); },
         true,
         {0.3 + 1e-6, far},
         {0.02, 0.25},
         nullptr},
        {"circle blur",
         [](I i) { return ImageTools::CircleBlurImage(i, 2.f, 0.2f); },
         false,
         {24.5, far},
         {0, 23},
         nullptr},  // 0.2 of 120 pixels
        {"focus blur",
         [](I i) { return ImageTools::FocusBlurImage(i, 5.f, 0.3f, 0.1f); },
         false,
         {0, 23.9},
         {36.1, far},
         [](I i) { return ImageTools::BlurImage(i, 5.f); }},
        {"focus blur with a hard edge",
         [](I i) { return ImageTools::FocusBlurImage(i, 5.f, 0.3f, 0.f); },
         false,
         {0, 35.9},
         {36.1, far},
         [](I i) { return ImageTools::BlurImage(i, 5.f); }},
    };
    const int w = 120, h = 80;
    const Image eightBit = Image::FromQImage(test::PhotoLike(w, h, true));
    for (const Region& region : regions)
        for (const Image& input : {eightBit, DeepCopy(eightBit)}) {
            const Image out = region.apply(input);
            const Image changedTo = region.changedTo ? region.changedTo(input) : Image();
            int inside = 0, changed = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double d = region.normalised
                                         ? std::hypot((x + 0.5) / w - 0.5, (y + 0.5) / h - 0.5)
                                         : std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);
                    const Rgba p = PixelAt(out, x, y), q = PixelAt(input, x, y);
                    const bool same = p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
                    if (d >= region.keep[0] && d <= region.keep[1]) {
                        ASSERT_TRUE(same) << region.name << " " << x << "," << y;
                    }
                    if (d >= region.change[0] && d <= region.change[1]) {
                        ++inside;
                        changed += !same;
                        if (region.changedTo) {
                            ASSERT_NEAR(p.r, PixelAt(changedTo, x, y).r, 1e-6f) << region.name;
                        }
                    }
                }
            EXPECT_GT(changed, inside * 9 / 10) << region.name << " " << input.isFloat();
        }
}

}  // namespace
}  // namespace lumetra
