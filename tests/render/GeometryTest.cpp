// SPDX-License-Identifier: GPL-3.0-or-later
// Rotation and resizing: canvas sizes, direction of turn, transparent
// corners, and Qt's own transform as an independent oracle.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTransform>
#include <cmath>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

using test::Flat;
using test::PixelAt;

struct SizeCase {
    double degrees;
    int width;
    int height;
};

class RotationCanvas : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RotationCanvas, HoldsTheTurnedPictureCutToWholePixels) {
    const SizeCase c = GetParam();
    const Image out = ImageTools::RotateImage(Flat(400, 200, 0.5f, 0.5f, 0.5f), c.degrees);
    EXPECT_EQ(out.width(), c.width) << c.degrees;
    EXPECT_EQ(out.height(), c.height) << c.degrees;
}

INSTANTIATE_TEST_SUITE_P(Geometry, RotationCanvas,
                         ::testing::Values(SizeCase{90, 200, 400}, SizeCase{-90, 200, 400},
                                           SizeCase{270, 200, 400}, SizeCase{180, 400, 200},
                                           SizeCase{45, 424, 424}, SizeCase{-360, 400, 200},
                                           SizeCase{720, 400, 200}, SizeCase{30, 446, 373},
                                           SizeCase{10, 428, 266}));

// So does the final redraw of a pass, always.
// Other multiples of a full turn are drawn anew, looking the same.
TEST(Geometry, ZeroAndFullTurnReturnTheInputItself) {
    const Image input = Image::FromQImage(test::PhotoLike(40, 20)).toFloat();
    EXPECT_TRUE(ImageTools::RotateImage(input, 0.0).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::RotateImage(input, 360.0).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::AntiAliasImage(input).sharesPixelsWith(input));
    for (const double degrees : {-360.0, 720.0})
        EXPECT_LT(test::MaxDifference(ImageTools::RotateImage(input, degrees), input), 1e-5f);
}

TEST(Geometry, CornersOfAnOddTurnAreTransparentWithoutDarkFringes) {
    const Image out = ImageTools::RotateImage(Flat(200, 100, 1.f, 1.f, 1.f), 45.0);
    EXPECT_EQ(PixelAt(out, 0, 0).a + PixelAt(out, out.width() - 1, out.height() - 1).a, 0.f);
    // Along the picture's slanted edges alpha falls off smoothly while the
    // colour stays white: no grey seam where it meets the transparency.
    int partial = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const test::Rgba p = PixelAt(out, x, y);
            if (p.a > 0.02f && p.a < 0.98f) {
                ++partial;
                ASSERT_GT(p.r, 0.999f);
            }
        }
    EXPECT_GT(partial, 100);
}

// An 8-bit picture is read where it stands; whatever its layout, the
// result is the one its float copy gives.
TEST(Geometry, RotationReadsEveryLayoutAsItsFloatCopy) {
    const QImage source = test::PhotoLike(203, 131, true);
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32,
                                        QImage::Format_RGBX8888, QImage::Format_RGBA8888}) {
        const Image bytes = Image::FromQImage(source.convertToFormat(format));
        ASSERT_FALSE(bytes.isFloat());
        for (const double degrees : {45.0, -30.0, 90.0, 181.5})
            EXPECT_LT(test::MaxDifference(ImageTools::RotateImage(bytes, degrees),
                                          ImageTools::RotateImage(bytes.toFloat(), degrees), true),
                      1e-3f)
                << format << " " << degrees;
    }
}

TEST(Geometry, AgreesWithQtTransformOnASmoothPicture) {
    // Qt's y axis points down, so its rotate(-a) turns counter-clockwise as
    // seen, like ours.
    const QImage source = test::PhotoLike(160, 90);
    const double degrees = 30.0;
    const Image ours = ImageTools::RotateImage(Image::FromQImage(source), degrees);
    const QImage theirs = source.convertToFormat(QImage::Format_ARGB32)
                              .transformed(QTransform().rotate(-degrees), Qt::SmoothTransformation);
    // Compare around both centres, inside the picture.
    double worst = 0.0;
    for (int dy = -20; dy <= 20; dy += 5)
        for (int dx = -40; dx <= 40; dx += 5) {
            const test::Rgba p = PixelAt(ours, ours.width() / 2 + dx, ours.height() / 2 + dy);
            const QColor q = theirs.pixelColor(theirs.width() / 2 + dx, theirs.height() / 2 + dy);
            worst = std::max(
                {worst, std::abs(double(p.r) - q.redF()), std::abs(double(p.g) - q.greenF())});
        }
    EXPECT_LT(worst, 0.03);
}

// Left half red, right half blue: squeezed, each half keeps its colour and
// shrinking averages, so the overall colour stays balanced.
TEST(Geometry, ResizeStretchesWithoutKeepingTheAspect) {
    const Image input = test::Painted(400, 200, [](int x, int) {
        return x < 200 ? test::Rgba{1, 0, 0, 1} : test::Rgba{0, 0, 1, 1};
    });
    const Image out = ImageTools::ResizeImage(input, 100.7, 100.0);
    ASSERT_EQ(out.width(), 100);
    ASSERT_EQ(out.height(), 100);
    double red = 0, blue = 0;
    for (int x = 0; x < 100; ++x) {
        red += PixelAt(out, x, 50).r;
        blue += PixelAt(out, x, 50).b;
    }
    EXPECT_TRUE(PixelAt(out, 10, 50).r > 0.99999f && PixelAt(out, 90, 50).b > 0.99999f);
    EXPECT_NEAR(red, blue, 1.0);
    EXPECT_TRUE(ImageTools::ResizeImage(input, 0.5, 100).isEmpty());
    EXPECT_TRUE(ImageTools::ResizeImage(input, std::nan(""), 100).isEmpty());
}

}  // namespace
}  // namespace lumetra
