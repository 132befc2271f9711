// SPDX-License-Identifier: GPL-3.0-or-later
// The effects that work by position: the 3D transform's units, direction
// and perspective, and which pixels the swirl, glass sphere, circle blur
// and focus blur leave as they were.
#include <gtest/gtest.h>

#include <cmath>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

using test::DeepCopy;
using test::Flat;
using test::PixelAt;
using test::Rgba;

// ---- 3D transform ----------------------------------------------------------

TEST(Transform, IdentityReturnsThePicture) {
    const Image input = Image::FromQImage(test::PhotoLike(30, 20));
    EXPECT_TRUE(ImageTools::TransformImage(input, Transform3D::Identity()).sharesPixelsWith(input));
}

// One unit of the quad is half the width on both axes.
TEST(Transform, TranslationMovesByHalfWidthsPerUnit) {
    const int w = 80, h = 48;
    const Image input = DeepCopy(Image::FromQImage(test::PhotoLike(w, h)));
    Transform3D right;
    right.m41 = 0.5;  // a quarter of the width, 20 pixels
    Transform3D down;
    down.m42 = 0.25;  // an eighth of the width, 10 pixels
    const Image movedRight = ImageTools::TransformImage(input, right);
    const Image movedDown = ImageTools::TransformImage(input, down);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba r = PixelAt(movedRight, x, y);
            const Rgba d = PixelAt(movedDown, x, y);
            if (x < 20)
                ASSERT_EQ(r.a, 0.f) << x;
            else
                ASSERT_TRUE(test::SamePixel(r, PixelAt(input, x - 20, y))) << x << "," << y;
            if (y < 10)
                ASSERT_EQ(d.a, 0.f) << y;
            else
                ASSERT_TRUE(test::SamePixel(d, PixelAt(input, x, y - 10))) << x << "," << y;
        }
}

// A positive turn in the x-y plane is clockwise on screen.
TEST(Transform, QuarterTurnIsClockwise) {
    const int n = 40;
    const Image input = test::Painted(n, n, [](int x, int y) {
        return (x >= 30 && y < 10) ? Rgba{1, 0, 0, 1} : Rgba{1, 1, 1, 1};  // top-right red
    });
    Transform3D turn;
    turn.m11 = 0;
    turn.m12 = 1;
    turn.m21 = -1;
    turn.m22 = 0;
    const Image out = ImageTools::TransformImage(input, turn);
    EXPECT_EQ(PixelAt(out, 35, 35).g, 0.f);  // now bottom-right
    EXPECT_EQ(PixelAt(out, 35, 4).g, 1.f);
}

TEST(Transform, PerspectiveShrinksTheFarSideAndNothingBehindTheViewerIsDrawn) {
    const int w = 120, h = 80;
    const Image input = Flat(w, h, 0.2f, 0.4f, 0.6f);
    Transform3D far;
    far.m14 = 0.5;  // w = 0.5 x + 1: the right edge lands at 5/6 of the width
    const Image out = ImageTools::TransformImage(input, far);
    EXPECT_EQ(PixelAt(out, 96, 40).a, 1.f);
    EXPECT_EQ(PixelAt(out, 102, 40).a, 0.f);
    EXPECT_EQ(PixelAt(out, 0, 40).a, 1.f);  // the near side spills past the left edge
    Transform3D behind;
    behind.m44 = -1.0;
    const Image hidden = ImageTools::TransformImage(input, behind);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(PixelAt(hidden, x, y).a, 0.f);
}

// ---- Swirl and glass sphere ------------------------------------------------

TEST(Swirl, LeavesPixelsOutsideItsRadiusAsTheyWere) {
    const int w = 90, h = 60;
    const Image input = DeepCopy(Image::FromQImage(test::PhotoLike(w, h, true)));
    const float radius = 0.3f;
    const Image out = ImageTools::SwirlImage(input, radius, 1.f);
    int moved = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Normalised distance, an ellipse on this picture.
            const double d = std::hypot((x + 0.5) / w - 0.5, (y + 0.5) / h - 0.5);
            const bool same = test::SamePixel(PixelAt(out, x, y), PixelAt(input, x, y));
            if (d >= radius + 1e-6) {
                ASSERT_TRUE(same) << x << "," << y;
            }
            if (d < radius - 0.05 && !same) ++moved;
        }
    EXPECT_GT(moved, 100);
    EXPECT_TRUE(ImageTools::SwirlImage(input, 0.f, 1.f).sharesPixelsWith(input));
    EXPECT_TRUE(ImageTools::SwirlImage(input, 0.5f, 0.f).sharesPixelsWith(input));
}

TEST(GlassSphere, IsOpaqueInsideItsCircleAndTransparentOutside) {
    const int w = 120, h = 80;  // the circle is round in pixels: y in widths
    const Image input = Flat(w, h, 0.5f, 0.5f, 0.5f);
    const Image out = ImageTools::GlassSphereImage(input, 0.25f, 0.71f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);  // pixels
            const float a = PixelAt(out, x, y).a;
            if (d < 30 - 1) {
                ASSERT_EQ(a, 1.f) << x << "," << y;
            }
            if (d > 30 + 1) {
                ASSERT_EQ(a, 0.f) << x << "," << y;
            }
        }
    // Facing the viewer the ball shows the picture's centre plus a faint
    // highlight; at the rim the grazing light washes it out.
    EXPECT_NEAR(PixelAt(out, 60, 40).r, 0.5f + 0.8f * std::pow(0.8165f, 15.f), 0.01f);
    EXPECT_GT(PixelAt(out, 60 + 28, 40).r, 0.9f);
    const Image none = ImageTools::GlassSphereImage(input, 0.f, 0.71f);
    EXPECT_EQ(PixelAt(none, 60, 40).a, 0.f);
}

// ---- Circle and focus blur -------------------------------------------------

TEST(CircleBlur, BlursInsideARoundCircleAndLeavesTheRestBitIdentical) {
    const int w = 120, h = 80;
    const Image input = DeepCopy(Image::FromQImage(test::PhotoLike(w, h, true)));
    const Image out = ImageTools::CircleBlurImage(input, 2.f, 0.2f);  // 24 pixels
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);
            const bool same = test::SamePixel(PixelAt(out, x, y), PixelAt(input, x, y));
            if (d >= 24.5) {
                ASSERT_TRUE(same) << x << "," << y;
            }
            if (d < 23) {
                ASSERT_FALSE(same) << x << "," << y;
            }
        }
}

TEST(FocusBlur, SharpInsideBlurredOutsideBlendedBetween) {
    const int w = 120, h = 80;
    const Image input = DeepCopy(Image::FromQImage(test::PhotoLike(w, h)));
    const Image out = ImageTools::FocusBlurImage(input, 5.f, 0.3f, 0.1f);  // 24..36 pixels
    const Image blurred = ImageTools::BlurImage(input, 5.f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);
            const Rgba p = PixelAt(out, x, y);
            if (d <= 23.9) {
                ASSERT_TRUE(test::SamePixel(p, PixelAt(input, x, y)));
            }
            if (d >= 36.1) {
                ASSERT_NEAR(p.r, PixelAt(blurred, x, y).r, 1e-6f);
            }
        }
}

}  // namespace
}  // namespace lumetra
