// SPDX-License-Identifier: GPL-3.0-or-later
// Where a watermark lands (five positions, offsets, no margin), how the logo
// is scaled, and the blend arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

using test::PixelAt;

// A canvas-coordinate rectangle (origin bottom-left, y up) and the expected
// one, for every position.
struct PlacementCase {
    int position;
    QRectF expected;  // canvas 400 x 300, watermark 100 x 50, moved 20 left and 30 up
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, PutsTheRectangleWhereThePositionSaysAndMovesItByTheOffsets) {
    const PlacementCase& c = GetParam();
    const QRectF rect =
        ImageTools::WatermarkRect(QSizeF(400, 300), QSizeF(100, 50), c.position, 30.0, -20.0);
    EXPECT_EQ(rect, c.expected) << "position " << c.position;
}

INSTANTIATE_TEST_SUITE_P(
    AllPositions, Placement,
    ::testing::Values(PlacementCase{0, QRectF(-20, 30, 100, 50)},   // bottom left
                      PlacementCase{1, QRectF(280, 30, 100, 50)},   // bottom right
                      PlacementCase{2, QRectF(-20, 280, 100, 50)},  // top left
                      PlacementCase{3, QRectF(280, 280, 100, 50)},  // top right
                      PlacementCase{4, QRectF(130, 155, 100, 50)},  // centre
                      PlacementCase{5, QRectF(-20, 30, 0, 0)},      // no such position
                      PlacementCase{-1, QRectF(-20, 30, 0, 0)}));   // no selection

// An opaque logo whose left half is red and right half blue.
Image TwoColourLogo(int width, int height) {
    return test::Painted(width, height, [width](int x, int) {
        return x < width / 2 ? test::Rgba{1, 0, 0, 1} : test::Rgba{0, 0, 1, 1};
    });
}

struct LogoCase {
    int position;
    QRect patch;  // on a 120 x 80 canvas, pixel rows from the top
};

class LogoPlacement : public ::testing::TestWithParam<LogoCase> {};

TEST_P(LogoPlacement, DrawsTheLogoInsideItsRectangleOnly) {
    const LogoCase& c = GetParam();
    // A 20 x 10 logo moved 5 right and 7 up.
    const WatermarkOverlay overlay = ImageTools::CreateLogoWatermark(
        QSizeF(120, 80), TwoColourLogo(20, 10), 1.0, c.position, 7.0, 5.0);
    EXPECT_EQ(overlay.patch, c.patch);
    const Image canvas = overlay.toImage();
    ASSERT_EQ(canvas.width(), 120);
    ASSERT_EQ(canvas.height(), 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(PixelAt(canvas, x, y).a, c.patch.contains(x, y) ? 1.f : 0.f) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(AllPositions, LogoPlacement,
                         ::testing::Values(LogoCase{0, QRect(5, 63, 20, 10)},
                                           LogoCase{1, QRect(105, 63, 15, 10)},  // cut at the edge
                                           LogoCase{2, QRect(5, 0, 20, 3)},      // cut at the top
                                           LogoCase{3, QRect(105, 0, 15, 3)},
                                           LogoCase{4, QRect(55, 28, 20, 10)},
                                           LogoCase{7, QRect()}));

TEST(Logo, ScaleUsesTheLogosOwnSize) {
    // A 200 x 100 logo at 0.5 covers 100 x 50 at the bottom-right corner.
    const WatermarkOverlay overlay =
        ImageTools::CreateLogoWatermark(QSizeF(400, 300), TwoColourLogo(200, 100), 0.5, 1, 0, 0);
    EXPECT_EQ(overlay.rect, QRectF(300, 0, 100, 50));
    EXPECT_EQ(overlay.patch, QRect(300, 250, 100, 50));
    // Red left, blue right, the seam between the halves averaged.
    const Image canvas = overlay.toImage();
    const test::Rgba red = PixelAt(canvas, 310, 260), blue = PixelAt(canvas, 390, 295);
    const test::Rgba seam = PixelAt(canvas, 349, 270);
    EXPECT_TRUE(red.r == 1.f && red.b == 0.f && blue.b == 1.f && blue.a == 1.f);
    EXPECT_TRUE(seam.r > 0.f && seam.b > 0.f);
}

TEST(Logo, FractionalPlaceAntialiasesTheEdges) {
    // Centred on 401 x 301: 100 x 50 at x 150.5, rows 125.5 .. 175.5.
    const WatermarkOverlay overlay =
        ImageTools::CreateLogoWatermark(QSizeF(401, 301), TwoColourLogo(100, 50), 1.0, 4, 0, 0);
    EXPECT_EQ(overlay.patch, QRect(150, 125, 101, 51));
    const Image canvas = overlay.toImage();
    for (const auto& [x, y, a] : {std::tuple{150, 150, 0.5f},
                                  {250, 150, 0.5f},
                                  {200, 125, 0.5f},
                                  {150, 125, 0.25f},
                                  {200, 150, 1.f}})
        EXPECT_FLOAT_EQ(PixelAt(canvas, x, y).a, a) << x << "," << y;
}

TEST(Logo, ShrinkingALargeLogoToASpeckStaysCheap) {
    const WatermarkOverlay overlay =
        ImageTools::CreateLogoWatermark(QSizeF(50, 50), TwoColourLogo(3000, 20), 1e-7, 0, 0, 0);
    ASSERT_EQ(overlay.patch, QRect(0, 49, 1, 1));
    EXPECT_NEAR(PixelAt(overlay.pixels, 0, 0).r, 0.5f, 1e-3);  // the average of the logo
    EXPECT_LT(PixelAt(overlay.pixels, 0, 0).a, 1e-3f);         // covering a speck of the pixel
}

// A float 8 x 8 base of (0.2, 0.4, 0.6) at alpha 0.5 under a 3 x 3 patch of
// (1, 0, 0.5) at alpha 0.8 placed at (2, 3).
WatermarkOverlay KnownOverlay() {
    WatermarkOverlay overlay;
    overlay.canvas = QSize(8, 8);
    overlay.patch = QRect(2, 3, 3, 3);
    overlay.pixels = test::Flat(3, 3, 1.f, 0.f, 0.5f, 0.8f);
    return overlay;
}

class Blend : public ::testing::TestWithParam<double> {};

// Float bases exactly; 8-bit ones rounded to 8 bits, as showing and saving
// would round them.
TEST_P(Blend, MixesByOverlayAlphaTimesOpacityAndKeepsTheBaseAlpha) {
    const double opacity = GetParam();
    QImage bytes(8, 8, QImage::Format_ARGB32);
    bytes.fill(qRgba(51, 102, 153, 128));
    const float k = 0.8f * float(opacity);
    for (const Image& base : {test::Flat(8, 8, 0.2f, 0.4f, 0.6f, 0.5f), Image::FromQImage(bytes)}) {
        const Image out = ImageTools::BlendWatermark(base, KnownOverlay(), opacity);
        ASSERT_EQ(out.isFloat(), base.isFloat());
        const float tolerance = base.isFloat() ? 1e-6f : 0.5f / 255.f;
        const test::Rgba b = PixelAt(base, 0, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const float m = x >= 2 && x < 5 && y >= 3 && y < 6 ? k : 0.f;
                const test::Rgba p = PixelAt(out, x, y);
                ASSERT_TRUE(std::abs(p.r - (b.r + (1.f - b.r) * m)) <= tolerance &&
                            std::abs(p.g - (b.g - b.g * m)) <= tolerance &&
                            std::abs(p.b - (b.b + (0.5f - b.b) * m)) <= tolerance && p.a == b.a)
                    << x << "," << y;
            }
    }
    // The caller's picture is never changed.
    EXPECT_EQ(bytes.pixel(3, 4), qRgba(51, 102, 153, 128));
}

INSTANTIATE_TEST_SUITE_P(Opacities, Blend, ::testing::Values(0.0, 0.7, 1.0));

// At full opacity, or any more, an opaque overlay covers the base exactly.
TEST(Blend, OpacityOneOrMoreCoversAnOpaqueOverlayFully) {
    WatermarkOverlay overlay = KnownOverlay();
    overlay.pixels = test::Flat(3, 3, 0.9f, 0.1f, 0.3f, 1.f);
    for (const double opacity : {1.0, 7.0}) {
        const test::Rgba p = PixelAt(
            ImageTools::BlendWatermark(test::Flat(8, 8, 0.2f, 0.4f, 0.6f), overlay, opacity), 4, 5);
        EXPECT_TRUE(p.r == 0.9f && p.g == 0.1f && p.b == 0.3f) << opacity;
    }
}

}  // namespace
}  // namespace lumetra
