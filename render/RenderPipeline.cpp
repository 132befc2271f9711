// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include <limits>

#include "render/ImageTools.h"

namespace lumetra {

unsigned OilPaintRadiusFromSlider(float value) {
    constexpr unsigned kLargest = std::numeric_limits<unsigned>::max();
    if (!(value > 0.f)) return 0;  // negative, zero or NaN
    if (!(double(value) < double(kLargest))) return kLargest;
    return static_cast<unsigned>(value);
}

Image RenderPipeline(const Image& source, const EditSettings& s, const Image& logo) {
    (void)logo;
    Image image = source;

    // Colour adjustments: always, whatever their values.
    image = ImageTools::BrightnessImage(image, s.sliderBrightness);
    image = ImageTools::ExposureImage(image, s.sliderExposure);
    image = ImageTools::ContrastImage(image, s.sliderContrast);
    image = ImageTools::SaturationImage(image, s.sliderSaturation);
    image = ImageTools::GammaImage(image, s.sliderGamma);
    image = ImageTools::HueImage(image, s.sliderHue);
    image = ImageTools::RGBImage(image, s.sliderRed, s.sliderGreen, s.sliderBlue);

    if (IsOn(s.checkBlackWhite)) image = ImageTools::GrayscaleImage(image);
    if (IsOn(s.checkSepia)) image = ImageTools::SepiaImage(image, s.sliderSepiaIntensity);

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

    return ImageTools::AntiAliasImage(image);
}

}  // namespace lumetra
