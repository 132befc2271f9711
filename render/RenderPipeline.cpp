// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include <limits>
#include <utility>

#include "render/ColourStages.h"
#include "render/FontFamilies.h"
#include "render/ImageTools.h"

namespace lumetra {

unsigned OilPaintRadiusFromSlider(float value) {
    constexpr unsigned kLargest = std::numeric_limits<unsigned>::max();
    if (!(value > 0.f)) return 0;  // negative, zero or NaN
    if (!(double(value) < double(kLargest))) return kLargest;
    return static_cast<unsigned>(value);
}

Image RenderPipeline(Image source, const EditSettings& s, const Image& logo) {
    Image image = std::move(source);

    // Colour adjustments: always, whatever their values; then black and
    // white and sepia. One sweep runs every one that changes the picture.
    ColourStages colour;
    colour.brightness = s.sliderBrightness;
    colour.exposure = s.sliderExposure;
    colour.contrast = s.sliderContrast;
    colour.saturation = s.sliderSaturation;
    colour.gamma = s.sliderGamma;
    colour.hue = s.sliderHue;
    colour.red = s.sliderRed;
    colour.green = s.sliderGreen;
    colour.blue = s.sliderBlue;
    colour.blackWhite = IsOn(s.checkBlackWhite);
    colour.sepia = IsOn(s.checkSepia);
    colour.sepiaIntensity = s.sliderSepiaIntensity;
    image = ApplyColourStages(image, colour);

    // Effect filters.
    if (IsOn(s.checkCartoon))
        image = ImageTools::CartoonImage(image, s.sliderCartoonBlur, s.sliderCartoonThreshold,
                                         s.sliderCartoonQuantization);
    if (IsOn(s.checkOilPainting))
        image = ImageTools::OilPaintImage(image,
                                          OilPaintRadiusFromSlider(s.sliderOilPaintingIntensity));
    if (IsOn(s.checkVignette)) image = ImageTools::VignetteImage(image, s.sliderVignetteRadius);
    if (IsOn(s.checkPixellate))
        image = ImageTools::PixelateImage(image, s.sliderPixellatePixelSize);
    if (IsOn(s.checkHalftone)) image = ImageTools::HalftoneImage(image, s.sliderHalftoneDotSize);
    if (IsOn(s.checkBlur)) image = ImageTools::BlurImage(image, s.sliderBlurIntensity);
    if (IsOn(s.checkCircleBlur))
        image = ImageTools::CircleBlurImage(image, s.sliderCircleBlurIntensity,
                                            s.sliderCircleBlurRadius);
    if (IsOn(s.checkFocusBlur))
        image = ImageTools::FocusBlurImage(image, s.sliderFocusBlurIntensity,
                                           s.sliderFocusBlurRadius, s.sliderFocusBlurEdge);
    if (IsOn(s.checkMotionBlur))
        image = ImageTools::MotionBlurImage(image, s.sliderMotionBlurIntensity,
                                            s.sliderMotionBlurAngle);
    if (IsOn(s.checkZoomBlur)) image = ImageTools::ZoomBlurImage(image, s.sliderZoomBlurIntensity);
    // The matrix comes from the steppers, never from their text fields.
    if (IsOn(s.check3DTransform))
        image = ImageTools::TransformImage(image, Transform3D::FromCells(TransformMatrixCells(s)));

    if (IsOn(s.checkRotate)) image = ImageTools::RotateImage(image, double(s.sliderRotateAngle));

    if (IsOn(s.checkSwirl))
        image = ImageTools::SwirlImage(image, s.sliderSwirlRadius, s.sliderSwirlAngle);
    if (IsOn(s.checkGlassSphere))
        image = ImageTools::GlassSphereImage(image, s.sliderGlassSphereRadius,
                                             s.sliderGlassSphereRefraction);

    // Watermarks, after every geometric stage so they stay upright at their
    // place on the final canvas; the logo after the text, so it covers it.
    // The working picture is moved in: the blend then changes only the
    // pixels under the watermark instead of copying the whole frame.
    // Shadow and stroke count as on in any state but off.
    if (IsOn(s.checkTextWatermark))
        image = ImageTools::TextWatermarkImage(
            std::move(image), s.textFieldText, ResolveFontFamily(s.comboTextFontType),
            double(s.stepperTextFontSize), s.colorWellTextColor, s.comboTextPosition,
            double(s.stepperTextYOffset), double(s.stepperTextXOffset),
            double(s.stepperTextOpacity / 100.f), s.checkTextShadow != 0, s.checkTextStroke != 0);
    if (IsOn(s.checkImageWatermark))
        image = ImageTools::LogoWatermarkImage(
            std::move(image), logo, double(s.stepperImageScale / 100.f), s.comboImagePosition,
            double(s.stepperImageYOffset), double(s.stepperImageXOffset),
            double(s.stepperImageOpacity / 100.f));

    return ImageTools::AntiAliasImage(image);
}

}  // namespace lumetra
