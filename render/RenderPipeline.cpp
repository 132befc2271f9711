// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/RenderPipeline.h"

#include <limits>
#include <utility>

#include "render/ColourStages.h"
#include "render/FontFamilies.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"

namespace lumetra {

unsigned OilPaintRadiusFromSlider(float value) {
    constexpr unsigned kLargest = std::numeric_limits<unsigned>::max();
    if (!(value > 0.f)) return 0;  // negative, zero or NaN
    if (!(double(value) < double(kLargest))) return kLargest;
    return static_cast<unsigned>(value);
}

Image RenderPipeline(Image source, const EditSettings& s, const Image& logo,
                     const RenderControl& control) {
    // A pass without a stop request of its own keeps its thread's.
    const StopScope stopScope(control.stop ? control.stop : tStopRequest);
    // Pixel-measured parameters at the source's scale; widened to double
    // first so that a full-resolution pass gives each stage exactly the
    // value it always has.
    const double k = control.scale;
    const auto px = [k](float value) { return k == 1.0 ? value : float(double(value) * k); };
    const auto stopped = [] { return StopRequested(); };
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

    // Effect filters, each checked for a stop request before it starts. The
    // oil painting's brush and the positional effects already grow with the
    // picture; the zoom blur's length is a share of the distance to the
    // centre.
    const auto stage = [&](int on, auto&& run) {
        if (IsOn(on) && !stopped()) image = run(image);
    };
    stage(s.checkCartoon, [&](const Image& i) {
        return ImageTools::CartoonImage(i, px(s.sliderCartoonBlur), s.sliderCartoonThreshold,
                                        s.sliderCartoonQuantization);
    });
    stage(s.checkOilPainting, [&](const Image& i) {
        return ImageTools::OilPaintImage(i, OilPaintRadiusFromSlider(s.sliderOilPaintingIntensity));
    });
    stage(s.checkVignette,
          [&](const Image& i) { return ImageTools::VignetteImage(i, s.sliderVignetteRadius); });
    stage(s.checkPixellate,
          [&](const Image& i) { return ImageTools::PixelateImage(i, s.sliderPixellatePixelSize); });
    stage(s.checkHalftone,
          [&](const Image& i) { return ImageTools::HalftoneImage(i, s.sliderHalftoneDotSize); });
    stage(s.checkBlur,
          [&](const Image& i) { return ImageTools::BlurImage(i, px(s.sliderBlurIntensity)); });
    stage(s.checkCircleBlur, [&](const Image& i) {
        return ImageTools::CircleBlurImage(i, px(s.sliderCircleBlurIntensity),
                                           s.sliderCircleBlurRadius);
    });
    stage(s.checkFocusBlur, [&](const Image& i) {
        return ImageTools::FocusBlurImage(i, px(s.sliderFocusBlurIntensity),
                                          s.sliderFocusBlurRadius, s.sliderFocusBlurEdge);
    });
    stage(s.checkMotionBlur, [&](const Image& i) {
        return ImageTools::MotionBlurImage(i, px(s.sliderMotionBlurIntensity),
                                           s.sliderMotionBlurAngle);
    });
    stage(s.checkZoomBlur,
          [&](const Image& i) { return ImageTools::ZoomBlurImage(i, s.sliderZoomBlurIntensity); });
    // The matrix comes from the steppers, never from their text fields.
    stage(s.check3DTransform, [&](const Image& i) {
        return ImageTools::TransformImage(i, Transform3D::FromCells(TransformMatrixCells(s)));
    });
    stage(s.checkRotate,
          [&](const Image& i) { return ImageTools::RotateImage(i, double(s.sliderRotateAngle)); });
    stage(s.checkSwirl, [&](const Image& i) {
        return ImageTools::SwirlImage(i, s.sliderSwirlRadius, s.sliderSwirlAngle);
    });
    stage(s.checkGlassSphere, [&](const Image& i) {
        return ImageTools::GlassSphereImage(i, s.sliderGlassSphereRadius,
                                            s.sliderGlassSphereRefraction);
    });

    // Watermarks, after every geometric stage so they stay upright at their
    // place on the final canvas; the logo after the text, so it covers it.
    // The working picture is moved in: the blend then changes only the
    // pixels under the watermark instead of copying the whole frame.
    // Shadow and stroke count as on in any state but off.
    if (IsOn(s.checkTextWatermark) && !stopped())
        image = ImageTools::TextWatermarkImage(
            std::move(image), s.textFieldText, ResolveFontFamily(s.comboTextFontType),
            double(px(s.stepperTextFontSize)), s.colorWellTextColor, s.comboTextPosition,
            double(px(s.stepperTextYOffset)), double(px(s.stepperTextXOffset)),
            double(s.stepperTextOpacity / 100.f), s.checkTextShadow != 0, s.checkTextStroke != 0,
            k);
    if (IsOn(s.checkImageWatermark) && !stopped())
        image = ImageTools::LogoWatermarkImage(
            std::move(image), logo, double(s.stepperImageScale / 100.f) * k, s.comboImagePosition,
            double(px(s.stepperImageYOffset)), double(px(s.stepperImageXOffset)),
            double(s.stepperImageOpacity / 100.f));

    if (stopped()) return Image();
    return ImageTools::AntiAliasImage(image);
}

}  // namespace lumetra
