// SPDX-License-Identifier: GPL-3.0-or-later
// The watermark stages inside a pass: after the geometric stages, text
// before logo, the panel's values passed as the pass reads them.
#include <gtest/gtest.h>

#include <QComboBox>

#include "render/FontFamilies.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::PixelAt;

bool SamePixels(const Image& a, const Image& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const test::Rgba p = PixelAt(a, x, y);
            const test::Rgba q = PixelAt(b, x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
        }
    return true;
}

// Text "MMMM" in white at 60 pixels, bottom left, fully opaque.
EditSettings WithText() {
    EditSettings s;
    s.checkTextWatermark = 1;
    s.textFieldText = QStringLiteral("MMMM");
    s.comboTextFontType = 1;
    s.stepperTextFontSize = 60.f;
    s.stepperTextOpacity = 100.f;
    s.comboTextPosition = 0;
    return s;
}

Image Text(const Image& image, const EditSettings& s) {
    return ImageTools::TextWatermarkImage(
        image, s.textFieldText, ResolveFontFamily(s.comboTextFontType), s.stepperTextFontSize,
        s.colorWellTextColor, s.comboTextPosition, s.stepperTextYOffset, s.stepperTextXOffset,
        double(s.stepperTextOpacity / 100.f), s.checkTextShadow != 0, s.checkTextStroke != 0);
}

TEST(WatermarkStages, TheLogoComesAfterTheTextAndCoversIt) {
    const Image source = test::Flat(240, 100, 0.5f, 0.5f, 0.5f);
    const Image logo = test::Flat(60, 60, 1.f, 0.f, 0.f);
    EditSettings s = WithText();
    s.checkImageWatermark = 1;
    s.stepperImageScale = 100.f;
    s.stepperImageOpacity = 100.f;
    s.comboImagePosition = 0;
    const Image out = RenderPipeline(source, s, logo);

    // Under the logo: red only, although the text runs underneath.
    for (int y = 40; y < 100; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(PixelAt(out, x, y).r, 1.f) << x << "," << y;
    int white = 0;
    for (int y = 40; y < 100; ++y)
        for (int x = 60; x < 240; ++x) white += PixelAt(out, x, y).b == 1.f;
    EXPECT_GT(white, 200);

    const auto withLogo = [&](const Image& image) {
        return ImageTools::LogoWatermarkImage(image, logo, 1.0, 0, 0, 0, 1.0);
    };
    EXPECT_TRUE(SamePixels(out, withLogo(Text(source, s))));
    EXPECT_FALSE(SamePixels(out, Text(withLogo(source), s)));
}

TEST(WatermarkStages, DrawnOnTheFinalCanvasAfterRotation) {
    const Image source = Image::FromQImage(test::PhotoLike(200, 100));
    EditSettings s = WithText();
    s.stepperTextFontSize = 30.f;
    s.comboTextPosition = 3;  // top right of the rotated, upright canvas
    s.checkRotate = 1;
    s.sliderRotateAngle = 90.f;
    const Image out = RenderPipeline(source, s, Image());
    ASSERT_EQ(out.width(), 100);
    ASSERT_EQ(out.height(), 200);
    EXPECT_TRUE(SamePixels(out, Text(ImageTools::RotateImage(source, 90.0), s)));
    EXPECT_FALSE(SamePixels(out, ImageTools::RotateImage(Text(source, s), 90.0)));
}

TEST(WatermarkStages, ShadowAndStrokeCountAsOnInAnyStateButOff) {
    const Image source = test::Flat(300, 120, 0.3f, 0.5f, 0.7f);
    for (const bool stroke : {false, true}) {
        EditSettings on = WithText();
        (stroke ? on.checkTextStroke : on.checkTextShadow) = 1;
        EditSettings mixed = WithText();
        (stroke ? mixed.checkTextStroke : mixed.checkTextShadow) = -1;
        const Image withOn = RenderPipeline(source, on, Image());
        EXPECT_TRUE(SamePixels(RenderPipeline(source, mixed, Image()), withOn)) << stroke;
        EXPECT_FALSE(SamePixels(RenderPipeline(source, WithText(), Image()), withOn)) << stroke;
    }
}

TEST(WatermarkStages, RunOnlyWhenTheirBoxIsExactlyOn) {
    const Image source = test::Flat(300, 120, 0.3f, 0.5f, 0.7f);
    for (const int state : {0, -1}) {
        EditSettings s = WithText();
        s.checkTextWatermark = state;
        s.checkImageWatermark = state;
        EXPECT_TRUE(
            RenderPipeline(source, s, test::Flat(20, 20, 1, 0, 0)).sharesPixelsWith(source));
    }
}

TEST(WatermarkStages, OpacityIsTheStepperOverAHundred) {
    const Image source = test::Flat(60, 40, 0.2f, 0.4f, 0.6f);
    EditSettings s;
    s.checkImageWatermark = 1;
    s.stepperImageOpacity = 70.f;
    s.stepperImageScale = 50.f;  // a 40 x 40 logo drawn 20 x 20
    s.comboImagePosition = 1;
    const Image out = RenderPipeline(source, s, test::Flat(40, 40, 1.f, 1.f, 1.f));
    const float k = 70.f / 100.f;
    EXPECT_FLOAT_EQ(PixelAt(out, 50, 30).r, 0.2f * (1.f - k) + k);
    EXPECT_FLOAT_EQ(PixelAt(out, 30, 30).r, 0.2f);  // left of the 20 x 20 logo
    EXPECT_FLOAT_EQ(PixelAt(out, 50, 10).r, 0.2f);  // above it
}

TEST(WatermarkStages, TheCallersSourceIsNeverChanged) {
    const QImage photo = test::PhotoLike(160, 90);
    for (const bool eightBit : {true, false}) {
        const Image source =
            eightBit ? Image::FromQImage(photo) : Image::FromQImage(photo).toFloat();
        EditSettings s = WithText();
        s.checkImageWatermark = 1;
        const Image out = RenderPipeline(source, s, test::Flat(30, 30, 1.f, 0.f, 0.f));
        EXPECT_FALSE(out.sharesPixelsWith(source));
        EXPECT_TRUE(SamePixels(source, Image::FromQImage(photo))) << eightBit;
    }
}

TEST(WatermarkStages, AMovedInSourceIsWatermarkedWhereItStands) {
    Image source = Image::FromQImage(test::PhotoLike(160, 90));
    const unsigned char* bits = source.eightBit().constBits();
    EditSettings s = WithText();
    s.checkImageWatermark = 1;
    const Image out = RenderPipeline(std::move(source), s, test::Flat(30, 30, 1.f, 0.f, 0.f));
    EXPECT_EQ(out.eightBit().constBits(), bits);
    const test::Rgba underLogo = PixelAt(out, 155, 85);  // red logo, bottom right, mix 0.7
    EXPECT_GT(underLogo.r - underLogo.g, 0.5f);
}

TEST(WatermarkStages, ControllerFontIsTheResolvedFamily) {
    test::Editor editor;
    for (const int index : {0, 3, 12, 19}) {
        editor.controller->comboTextFontType->setCurrentIndex(index);
        EXPECT_EQ(editor.controller->GetTextFontType(), ResolveFontFamily(index));
    }
}

}  // namespace
}  // namespace lumetra
