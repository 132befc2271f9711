// SPDX-License-Identifier: GPL-3.0-or-later
// The stage order of a pass and the rule that a box turns its stage on only
// when it is exactly on.
#include <gtest/gtest.h>

#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::PixelAt;

void ExpectSamePixels(const Image& a, const Image& b) {
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const test::Rgba p = PixelAt(a, x, y);
            const test::Rgba q = PixelAt(b, x, y);
            ASSERT_EQ(p.r, q.r) << x << "," << y;
            ASSERT_EQ(p.g, q.g);
            ASSERT_EQ(p.b, q.b);
            ASSERT_EQ(p.a, q.a);
        }
}

TEST(Pipeline, RunsTheStagesInTheirFixedOrder) {
    const Image source = Image::FromQImage(test::PhotoLike(40, 30));
    EditSettings s;
    s.sliderBrightness = 0.1f;
    s.sliderGamma = 1.4f;
    s.sliderHue = 20.f;
    s.checkBlackWhite = 1;
    s.checkSepia = 1;
    s.sliderSepiaIntensity = 0.6f;
    s.checkRotate = 1;
    s.sliderRotateAngle = 90.f;
    Image expected = ImageTools::BrightnessImage(source, 0.1f);
    expected = ImageTools::GammaImage(expected, 1.4f);
    expected = ImageTools::HueImage(expected, 20.f);
    expected = ImageTools::GrayscaleImage(expected);
    expected = ImageTools::SepiaImage(expected, 0.6f);
    expected = ImageTools::RotateImage(expected, 90.0);
    ExpectSamePixels(RenderPipeline(source, s, Image()), expected);
}

TEST(Pipeline, MixedAndOffBoxesLeaveTheirStageOut) {
    const Image source = Image::FromQImage(test::PhotoLike(20, 10));
    for (const int state : {0, -1}) {
        EditSettings s;
        s.checkBlackWhite = state;
        s.checkSepia = state;
        s.checkRotate = state;
        s.sliderRotateAngle = 45.f;
        const Image out = RenderPipeline(source, s, Image());
        EXPECT_TRUE(out.sharesPixelsWith(source)) << "state " << state;
    }
    EditSettings on;
    on.checkRotate = 1;
    on.sliderRotateAngle = 45.f;
    EXPECT_EQ(RenderPipeline(source, on, Image()).width(), 21);
}

}  // namespace
}  // namespace lumetra
