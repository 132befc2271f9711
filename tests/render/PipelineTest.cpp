// SPDX-License-Identifier: GPL-3.0-or-later
// The stages of a render pass, as one list: their fixed order, the rule
// that a box turns its stage on only when it is exactly on, the panel's
// values as each stage reads them, and values far beyond the panel's ranges.
#include <gtest/gtest.h>

#include <QComboBox>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "render/EffectsTestSupport.h"
#include "render/FontFamilies.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFields.h"

namespace lumetra {
namespace {

using test::MaxDifference;

const Image& Logo() {
    static const Image logo = test::Flat(20, 20, 1.f, 0.f, 0.f);
    return logo;
}

// Its box (none: the adjustments), values that change the picture, what it must give.
struct Stage {
    const char* box;
    std::function<void(EditSettings&)> set;
    std::function<Image(const Image&)> apply;
};

using I = const Image&;

// In the order a pass runs them.
const std::vector<Stage>& Stages() {
    static const std::vector<Stage> stages = {
        {nullptr,
         [](EditSettings& s) {
             s.sliderBrightness = 0.1f;
             s.sliderGamma = 1.4f;
             s.sliderHue = 20.f;
         },
         [](I i) {
             return ImageTools::HueImage(
                 ImageTools::GammaImage(ImageTools::BrightnessImage(i, 0.1f), 1.4f), 20.f);
         }},
        {"checkBlackWhite", [](EditSettings&) {},
         [](I i) { return ImageTools::GrayscaleImage(i); }},
        {"checkSepia", [](EditSettings& s) { s.sliderSepiaIntensity = 0.6f; },
         [](I i) { return ImageTools::SepiaImage(i, 0.6f); }},
        {"checkCartoon", [](EditSettings&) {},
         [](I i) { return ImageTools::CartoonImage(i, 2.f, 0.2f, 10.f); }},
        // The slider's value is cut to a whole radius.
        {"checkOilPainting", [](EditSettings& s) { s.sliderOilPaintingIntensity = 2.9f; },
         [](I i) { return ImageTools::OilPaintImage(i, 2); }},
        {"checkVignette", [](EditSettings& s) { s.sliderVignetteRadius = -0.1f; },
         [](I i) { return ImageTools::VignetteImage(i, -0.1f); }},
        {"checkPixellate", [](EditSettings& s) { s.sliderPixellatePixelSize = 0.05f; },
         [](I i) { return ImageTools::PixelateImage(i, 0.05f); }},
        {"checkHalftone", [](EditSettings& s) { s.sliderHalftoneDotSize = 0.04f; },
         [](I i) { return ImageTools::HalftoneImage(i, 0.04f); }},
        {"checkBlur", [](EditSettings& s) { s.sliderBlurIntensity = 2.f; },
         [](I i) { return ImageTools::BlurImage(i, 2.f); }},
        {"checkCircleBlur", [](EditSettings& s) { s.sliderCircleBlurIntensity = 1.f; },
         [](I i) { return ImageTools::CircleBlurImage(i, 1.f, 0.2f); }},
        {"checkFocusBlur", [](EditSettings& s) { s.sliderFocusBlurIntensity = 3.f; },
         [](I i) { return ImageTools::FocusBlurImage(i, 3.f, 0.6f, 0.4f); }},
        {"checkMotionBlur",
         [](EditSettings& s) {
             s.sliderMotionBlurIntensity = 3.f;
             s.sliderMotionBlurAngle = 20.f;
         },
         [](I i) { return ImageTools::MotionBlurImage(i, 3.f, 20.f); }},
        {"checkZoomBlur", [](EditSettings& s) { s.sliderZoomBlurIntensity = 4.f; },
         [](I i) { return ImageTools::ZoomBlurImage(i, 4.f); }},
        // The matrix is the steppers' floats, widened; their text fields
        // (not yet copied to the steppers) count for nothing.
        {"check3DTransform",
         [](EditSettings& s) {
             s.stepper3DTransformM41 = 0.1f;
             s.stepper3DTransformM12 = 0.2f;
             s.textField3DTransformM22 = QStringLiteral("0.5");
         },
         [](I i) {
             Transform3D m;
             m.m41 = double(0.1f);
             m.m12 = double(0.2f);
             return ImageTools::TransformImage(i, m);
         }},
        {"checkRotate", [](EditSettings& s) { s.sliderRotateAngle = 30.f; },
         [](I i) { return ImageTools::RotateImage(i, 30.0); }},
        {"checkSwirl", [](EditSettings& s) { s.sliderSwirlAngle = 0.5f; },
         [](I i) { return ImageTools::SwirlImage(i, 0.5f, 0.5f); }},
        {"checkGlassSphere", [](EditSettings&) {},
         [](I i) { return ImageTools::GlassSphereImage(i, 0.25f, 0.71f); }},
        // Opacities and the logo's scale are percentages.
        {"checkTextWatermark",
         [](EditSettings& s) {
             s.textFieldText = QStringLiteral("MMMM");
             s.comboTextFontType = 1;
             s.stepperTextFontSize = 14.f;
             s.stepperTextOpacity = 90.f;
             s.comboTextPosition = 0;
             s.stepperTextXOffset = 3.f;
         },
         [](I i) {
             return ImageTools::TextWatermarkImage(i, QStringLiteral("MMMM"), ResolveFontFamily(1),
                                                   14.0, RgbaColor{1, 1, 1, 1}, 0, 0.0, 3.0,
                                                   double(0.9f), false, false);
         }},
        {"checkImageWatermark",
         [](EditSettings& s) {
             s.stepperImageScale = 50.f;
             s.stepperImageOpacity = 70.f;
             s.comboImagePosition = 0;
         },
         [](I i) { return ImageTools::LogoWatermarkImage(i, Logo(), 0.5, 0, 0, 0, double(0.7f)); }},
    };
    return stages;
}

Image Pass(const Image& source, const EditSettings& s) {
    return RenderPipeline(source, s, Logo());
}

TEST(Pipeline, RunsEveryStageInItsFixedOrder) {
    const Image source = Image::FromQImage(test::PhotoLike(64, 48));
    EditSettings s;
    for (const Stage& stage : Stages()) {
        if (stage.box) SetField(s, *FindField(stage.box), 1);
        stage.set(s);
    }
    const auto inOrder = [&](const std::vector<std::size_t>& order) {
        Image image = source;
        for (const std::size_t i : order) image = Stages()[i].apply(image);
        return image;
    };
    std::vector<std::size_t> order(Stages().size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const Image out = Pass(source, s);
    EXPECT_EQ(MaxDifference(out, inOrder(order)), 0.f);
    // Any two neighbours run the other way round give another picture.
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        std::vector<std::size_t> swapped = order;
        std::swap(swapped[i], swapped[i + 1]);
        EXPECT_GT(MaxDifference(out, inOrder(swapped)), 0.f) << Stages()[i + 1].box;
    }
}

TEST(Pipeline, EachBoxTurnsOnlyItsStageOnAndOnlyWhenExactlyOn) {
    const Image source = Image::FromQImage(test::PhotoLike(48, 36));
    EditSettings off;
    for (const Stage& stage : Stages())
        if (stage.box) stage.set(off);
    for (const int state : {0, -1}) {
        EditSettings s = off;
        for (const Stage& stage : Stages())
            if (stage.box) SetField(s, *FindField(stage.box), state);
        EXPECT_TRUE(Pass(source, s).sharesPixelsWith(source)) << "state " << state;
    }
    for (const Stage& stage : Stages()) {
        if (!stage.box) continue;
        EditSettings one = off;
        SetField(one, *FindField(stage.box), 1);
        const Image out = Pass(source, one);
        EXPECT_GT(MaxDifference(out, source), 0.f) << stage.box;
        EXPECT_EQ(MaxDifference(out, stage.apply(source)), 0.f) << stage.box;
    }
}

TEST(Pipeline, ShadowAndStrokeCountAsOnInAnyStateButOff) {
    const Image source = test::Flat(300, 120, 0.3f, 0.5f, 0.7f);
    EditSettings plain;
    plain.checkTextWatermark = 1;
    plain.textFieldText = QStringLiteral("MMMM");
    plain.stepperTextFontSize = 60.f;
    for (int EditSettings::*box :
         {&EditSettings::checkTextShadow, &EditSettings::checkTextStroke}) {
        EditSettings on = plain, mixed = plain;
        on.*box = 1;
        mixed.*box = -1;
        const Image withOn = Pass(source, on);
        EXPECT_EQ(MaxDifference(Pass(source, mixed), withOn), 0.f);
        EXPECT_GT(MaxDifference(Pass(source, plain), withOn), 0.f);
    }
}

// Each ranged value of every group, alone and all at once, infinite or NaN:
// every channel a number in 0..1 (and no overflowing conversion under UBSan).
TEST(Pipeline, EveryStageTakesValuesFarBeyondItsRange) {
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

// The watermarks blend into the working picture: one the caller moved in
// is changed where it stands, one the caller keeps is never changed.
TEST(Pipeline, WatermarksChangeAMovedInSourceInPlaceAndNeverTheCallers) {
    const QImage photo = test::PhotoLike(160, 90);
    EditSettings s;
    s.checkTextWatermark = 1;
    s.textFieldText = QStringLiteral("MMMM");
    s.checkImageWatermark = 1;
    s.comboImagePosition = 1;
    for (const bool eightBit : {true, false}) {
        const Image source =
            eightBit ? Image::FromQImage(photo) : Image::FromQImage(photo).toFloat();
        EXPECT_FALSE(Pass(source, s).sharesPixelsWith(source));
        EXPECT_EQ(MaxDifference(source, Image::FromQImage(photo)), 0.f) << eightBit;
    }
    Image moved = Image::FromQImage(test::PhotoLike(160, 90));
    const unsigned char* bits = moved.eightBit().constBits();
    const Image out = RenderPipeline(std::move(moved), s, Logo());
    EXPECT_EQ(out.eightBit().constBits(), bits);
    const test::Rgba underLogo = test::PixelAt(out, 155, 85);  // red, bottom right, mix 0.7
    EXPECT_GT(underLogo.r - underLogo.g, 0.5f);
}

TEST(Pipeline, ControllerFontIsTheResolvedFamily) {
    test::Editor editor;
    for (const int index : {0, 3, 12, 19}) {
        editor.controller->comboTextFontType->setCurrentIndex(index);
        EXPECT_EQ(editor.controller->GetTextFontType(), ResolveFontFamily(index));
    }
}

}  // namespace
}  // namespace lumetra
