// SPDX-License-Identifier: GPL-3.0-or-later
// The effect stages of a render pass: their fixed order, the rule that a box
// turns its stage on only when exactly on, and which fields feed them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "settings/SettingsFields.h"
#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"

namespace lumetra {
namespace {

using test::MaxDifference;

// Every effect box, with values that make each stage change the picture.
EditSettings AllEffectsOn(int state) {
    EditSettings s;
    for (int* box :
         {&s.checkCartoon, &s.checkOilPainting, &s.checkVignette, &s.checkPixellate,
          &s.checkHalftone, &s.checkBlur, &s.checkCircleBlur, &s.checkFocusBlur, &s.checkMotionBlur,
          &s.checkZoomBlur, &s.check3DTransform, &s.checkSwirl, &s.checkGlassSphere})
        *box = state;
    s.sliderOilPaintingIntensity = 2.7f;  // radius 2
    s.sliderVignetteRadius = -0.1f;
    s.sliderPixellatePixelSize = 0.05f;
    s.sliderHalftoneDotSize = 0.04f;
    s.sliderBlurIntensity = 2.f;
    s.sliderCircleBlurIntensity = 1.f;
    s.sliderFocusBlurIntensity = 3.f;
    s.sliderMotionBlurIntensity = 3.f;
    s.sliderMotionBlurAngle = 20.f;
    s.sliderZoomBlurIntensity = 4.f;
    s.stepper3DTransformM41 = 0.1f;
    s.stepper3DTransformM12 = 0.2f;
    s.sliderSwirlAngle = 0.5f;
    return s;
}

TEST(EffectStages, RunInTheirFixedOrderAroundTheRotation) {
    const Image source = Image::FromQImage(test::PhotoLike(48, 36));
    EditSettings s = AllEffectsOn(1);
    s.checkSepia = 1;
    s.checkRotate = 1;
    s.sliderRotateAngle = 30.f;
    Transform3D m;  // the steppers' floats, widened
    m.m41 = double(0.1f);
    m.m12 = double(0.2f);
    Image expected = ImageTools::SepiaImage(source, s.sliderSepiaIntensity);
    expected = ImageTools::CartoonImage(expected, 2.f, 0.2f, 10.f);
    expected = ImageTools::OilPaintImage(expected, 2);
    expected = ImageTools::VignetteImage(expected, -0.1f);
    expected = ImageTools::PixelateImage(expected, 0.05f);
    expected = ImageTools::HalftoneImage(expected, 0.04f);
    expected = ImageTools::BlurImage(expected, 2.f);
    expected = ImageTools::CircleBlurImage(expected, 1.f, 0.2f);
    expected = ImageTools::FocusBlurImage(expected, 3.f, 0.6f, 0.4f);
    expected = ImageTools::MotionBlurImage(expected, 3.f, 20.f);
    expected = ImageTools::ZoomBlurImage(expected, 4.f);
    expected = ImageTools::TransformImage(expected, m);
    expected = ImageTools::RotateImage(expected, 30.0);
    expected = ImageTools::SwirlImage(expected, 0.5f, 0.5f);
    expected = ImageTools::GlassSphereImage(expected, 0.25f, 0.71f);
    EXPECT_EQ(MaxDifference(RenderPipeline(source, s, Image()), expected), 0.f);
}

TEST(EffectStages, EachBoxTurnsOnlyItsStageOnAndOnlyWhenExactlyOn) {
    const Image source = Image::FromQImage(test::PhotoLike(40, 30));
    for (const int state : {0, -1})
        EXPECT_TRUE(RenderPipeline(source, AllEffectsOn(state), Image()).sharesPixelsWith(source))
            << "state " << state;
    // One box at a time: that stage alone changes the picture.
    const EditSettings off = AllEffectsOn(0);
    const std::vector<int EditSettings::*> boxes = {
        &EditSettings::checkCartoon,     &EditSettings::checkOilPainting,
        &EditSettings::checkVignette,    &EditSettings::checkPixellate,
        &EditSettings::checkHalftone,    &EditSettings::checkBlur,
        &EditSettings::checkCircleBlur,  &EditSettings::checkFocusBlur,
        &EditSettings::checkMotionBlur,  &EditSettings::checkZoomBlur,
        &EditSettings::check3DTransform, &EditSettings::checkSwirl,
        &EditSettings::checkGlassSphere};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EditSettings one = off;
        one.*boxes[i] = 1;
        EXPECT_GT(MaxDifference(RenderPipeline(source, one, Image()), source), 0.f) << "box " << i;
    }
}

TEST(EffectStages, OilPaintingSliderIsTruncatedTowardZero) {
    EXPECT_EQ(OilPaintRadiusFromSlider(4.9f), 4u);
    EXPECT_EQ(OilPaintRadiusFromSlider(0.99f), 0u);
    EXPECT_EQ(OilPaintRadiusFromSlider(-2.5f), 0u);
    EXPECT_EQ(OilPaintRadiusFromSlider(std::nanf("")), 0u);
    EXPECT_EQ(OilPaintRadiusFromSlider(INFINITY), std::numeric_limits<unsigned>::max());

    const Image source = Image::FromQImage(test::PhotoLike(40, 30));
    EditSettings s;
    s.checkOilPainting = 1;
    s.sliderOilPaintingIntensity = 2.9f;
    EXPECT_EQ(
        MaxDifference(RenderPipeline(source, s, Image()), ImageTools::OilPaintImage(source, 2)),
        0.f);
    s.sliderOilPaintingIntensity = -3.f;
    EXPECT_TRUE(RenderPipeline(source, s, Image()).sharesPixelsWith(source));
}

// The matrix comes from the steppers; a typed cell not yet copied to its
// stepper has no effect.
TEST(EffectStages, TransformReadsTheSteppersNotTheTextFields) {
    const Image source = Image::FromQImage(test::PhotoLike(40, 30));
    EditSettings s;
    s.check3DTransform = 1;
    s.textField3DTransformM41 = "0.5";
    EXPECT_TRUE(RenderPipeline(source, s, Image()).sharesPixelsWith(source));
    s.stepper3DTransformM41 = 0.5f;
    Transform3D shift;
    shift.m41 = 0.5;
    EXPECT_EQ(MaxDifference(RenderPipeline(source, s, Image()),
                            ImageTools::TransformImage(source, shift)),
              0.f);
}

// Code that does not clamp to the controls' ranges (tests, benchmarks, a
// future caller) can hand the pipeline any number. Every stage, with each of
// its values alone and with all of them at once far beyond their ranges,
// infinite or NaN, must still give a picture whose every channel is a number
// in 0..1; in the sanitizer build no float-to-int conversion may overflow on
// the way. The stages are the panel's groups, read from the field table.
TEST(EffectStages, EveryStageTakesValuesFarBeyondItsRange) {
    const Image source = Image::FromQImage(test::PhotoLike(24, 16, true));
    const Image logo = Image::FromQImage(test::PhotoLike(6, 4, true));
    const float extremes[] = {-INFINITY, -1e30f, 1e30f, INFINITY, std::nanf("")};
    for (const GroupSpec& group : SettingsGroups()) {
        std::vector<const FieldSpec*> ranged;
        for (const FieldSpec& field : SettingsFields())
            if (field.group == group.group &&
                (field.kind == FieldKind::Slider || field.kind == FieldKind::Stepper))
                ranged.push_back(&field);
        for (const float value : extremes) {
            // One field after another, then (at ranged.size()) all of them.
            for (std::size_t alone = 0; alone <= ranged.size(); ++alone) {
                EditSettings s;
                if (group.checkBox) SetField(s, *FindField(group.checkBox), 1);
                for (std::size_t i = 0; i < ranged.size(); ++i)
                    if (i == alone || alone == ranged.size()) SetField(s, *ranged[i], value);
                const Image out = RenderPipeline(source, s, logo);
                const char* which = alone < ranged.size() ? ranged[alone]->name : "all";
                EXPECT_FALSE(out.isEmpty()) << group.title << ", " << which << " = " << value;
                EXPECT_TRUE(test::InUnitRange(out))
                    << group.title << ", " << which << " = " << value;
            }
        }
    }
}

}  // namespace
}  // namespace lumetra
