// SPDX-License-Identifier: GPL-3.0-or-later
// The edit settings: one field per control of the editor panel, named after
// the control. A render pass works on one snapshot of these values, the
// history stores them as settings texts, the resets put them back to their
// defaults. The field table (SettingsFields) describes every field once.
#pragma once

#include <QString>
#include <array>

#include "settings/RgbaColor.h"

namespace lumetra {

struct EditSettings {
    // Fills every field with its default.
    EditSettings();

    // Adjustments
    float sliderBrightness, sliderExposure, sliderContrast, sliderSaturation, sliderGamma;
    float sliderRed, sliderGreen, sliderBlue, sliderHue;

    // Text watermark
    int checkTextWatermark;
    QString textFieldText;
    RgbaColor colorWellTextColor;
    int comboTextFontType;
    QString textFieldTextFontSize;
    float stepperTextFontSize;
    QString textFieldTextOpacity;
    float stepperTextOpacity;
    int checkTextShadow;
    int comboTextPosition;
    int checkTextStroke;
    QString textFieldTextXOffset;
    float stepperTextXOffset;
    QString textFieldTextYOffset;
    float stepperTextYOffset;

    // Image watermark
    int checkImageWatermark;
    QString textFieldImage;
    QString textFieldImageScale;
    float stepperImageScale;
    QString textFieldImageOpacity;
    float stepperImageOpacity;
    int comboImagePosition;
    QString textFieldImageXOffset;
    float stepperImageXOffset;
    QString textFieldImageYOffset;
    float stepperImageYOffset;

    // Effects
    int checkBlackWhite;
    int checkSepia;
    float sliderSepiaIntensity;
    int checkCartoon;
    float sliderCartoonBlur, sliderCartoonThreshold, sliderCartoonQuantization;
    int checkOilPainting;
    float sliderOilPaintingIntensity;
    int checkVignette;
    float sliderVignetteRadius;
    int checkPixellate;
    float sliderPixellatePixelSize;
    int checkHalftone;
    float sliderHalftoneDotSize;
    int checkBlur;
    float sliderBlurIntensity;
    int checkCircleBlur;
    float sliderCircleBlurIntensity, sliderCircleBlurRadius;
    int checkFocusBlur;
    float sliderFocusBlurIntensity, sliderFocusBlurRadius, sliderFocusBlurEdge;
    int checkMotionBlur;
    float sliderMotionBlurIntensity, sliderMotionBlurAngle;
    int checkZoomBlur;
    float sliderZoomBlurIntensity;

    // 3D transform: a stepper and its text field per cell, row digit first
    int check3DTransform;
    float stepper3DTransformM11, stepper3DTransformM12, stepper3DTransformM13,
        stepper3DTransformM14;
    float stepper3DTransformM21, stepper3DTransformM22, stepper3DTransformM23,
        stepper3DTransformM24;
    float stepper3DTransformM31, stepper3DTransformM32, stepper3DTransformM33,
        stepper3DTransformM34;
    float stepper3DTransformM41, stepper3DTransformM42, stepper3DTransformM43,
        stepper3DTransformM44;
    QString textField3DTransformM11, textField3DTransformM12, textField3DTransformM13,
        textField3DTransformM14;
    QString textField3DTransformM21, textField3DTransformM22, textField3DTransformM23,
        textField3DTransformM24;
    QString textField3DTransformM31, textField3DTransformM32, textField3DTransformM33,
        textField3DTransformM34;
    QString textField3DTransformM41, textField3DTransformM42, textField3DTransformM43,
        textField3DTransformM44;

    // Swirl, glass sphere and rotate
    int checkSwirl;
    float sliderSwirlRadius, sliderSwirlAngle;
    int checkGlassSphere;
    float sliderGlassSphereRadius, sliderGlassSphereRefraction;
    int checkRotate;
    float sliderRotateAngle;

    // Export
    int comboFormat;
    float sliderQuality;
    QString textFieldWidth;
    QString textFieldHeight;
    int checkKeepAspect;
    int checkKeepExifInfo;

    bool operator==(const EditSettings&) const = default;
};

// A check box turns its stage on only when its state is exactly 1; off (0)
// and mixed (-1) both leave the stage out.
inline bool IsOn(int checkState) {
    return checkState == 1;
}

// The sixteen matrix steppers in the order M11, M12, ... M44.
std::array<float, 16> TransformMatrixCells(const EditSettings& settings);

}  // namespace lumetra
