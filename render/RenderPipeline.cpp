// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include "render/ImageTools.h"

namespace lumetra {

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

    if (IsOn(s.checkRotate)) image = ImageTools::RotateImage(image, double(s.sliderRotateAngle));

    return ImageTools::AntiAliasImage(image);
}

}  // namespace lumetra
