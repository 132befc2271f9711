// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's handlers. Each reads like the rule it implements: the
// adjustments and the group boxes always render; a control inside a group
// renders only while its group is on; a typed number renders only when it
// differs from what the current settings text recorded; a reset whose
// controls already hold their defaults does nothing.
#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>

#include "editor/ViewController.h"
#include "settings/SettingsText.h"

namespace lumetra {

void ViewController::RenderIfOn(QCheckBox* groupCheck) {
    if (groupCheck->checkState() == Qt::Checked) UpdateImageEffect();
}

bool ViewController::DiffersFromCurrentState(const QWidget& control, const QString& text) const {
    // The line that holds the control's field, as the field table says.
    const FieldSpec* field = FindField(control.objectName().toStdString());
    if (!field) return true;
    const int line = field->line;
    if (currenState < 0 || currenState >= stateImagesPath.size()) return true;
    const QStringList lines = SplitSettingsLines(stateImagesPath.at(currenState));
    if (line < 1 || line > lines.size()) return true;
    return lines.at(line - 1) != text;
}

// Adjustment sliders and group boxes: always.
#define LUMETRA_RENDER_HANDLER(handler) \
    void ViewController::handler() {    \
        UpdateImageEffect();            \
    }
LUMETRA_RENDER_HANDLER(OnBrightnessChanged)
LUMETRA_RENDER_HANDLER(OnExposureChanged)
LUMETRA_RENDER_HANDLER(OnContrastChanged)
LUMETRA_RENDER_HANDLER(OnSaturationChanged)
LUMETRA_RENDER_HANDLER(OnGammaChanged)
LUMETRA_RENDER_HANDLER(OnHueChanged)
LUMETRA_RENDER_HANDLER(OnRedChanged)
LUMETRA_RENDER_HANDLER(OnGreenChanged)
LUMETRA_RENDER_HANDLER(OnBlueChanged)
LUMETRA_RENDER_HANDLER(OnBlackAndWhiteChecked)
LUMETRA_RENDER_HANDLER(OnSepiaChecked)
LUMETRA_RENDER_HANDLER(OnCartoonChecked)
LUMETRA_RENDER_HANDLER(OnOilPaintingChecked)
LUMETRA_RENDER_HANDLER(OnVignetteChecked)
LUMETRA_RENDER_HANDLER(OnPixellateChecked)
LUMETRA_RENDER_HANDLER(OnHalftoneChecked)
LUMETRA_RENDER_HANDLER(OnBlurChecked)
LUMETRA_RENDER_HANDLER(OnCircleBlurChecked)
LUMETRA_RENDER_HANDLER(OnFocusBlurChecked)
LUMETRA_RENDER_HANDLER(OnMotionBlurChecked)
LUMETRA_RENDER_HANDLER(OnZoomBlurChecked)
LUMETRA_RENDER_HANDLER(On3DTransformChecked)
LUMETRA_RENDER_HANDLER(OnRotateChecked)
LUMETRA_RENDER_HANDLER(OnSwirlChecked)
LUMETRA_RENDER_HANDLER(OnGlassSphereChecked)
LUMETRA_RENDER_HANDLER(OnTextWatermarkChecked)
LUMETRA_RENDER_HANDLER(OnImageWatermarkChecked)
#undef LUMETRA_RENDER_HANDLER

// Controls inside a group: only while the group is on.
#define LUMETRA_GROUP_HANDLER(handler, groupCheck) \
    void ViewController::handler() {               \
        RenderIfOn(groupCheck);                    \
    }
LUMETRA_GROUP_HANDLER(OnSepiaIntensityChanged, checkSepia)
LUMETRA_GROUP_HANDLER(OnCartoonBlurChanged, checkCartoon)
LUMETRA_GROUP_HANDLER(OnCartoonThresholdChanged, checkCartoon)
LUMETRA_GROUP_HANDLER(OnCartoonQuantizationChanged, checkCartoon)
LUMETRA_GROUP_HANDLER(OnOilPaintingIntensityChanged, checkOilPainting)
LUMETRA_GROUP_HANDLER(OnVignetteRadiusChanged, checkVignette)
LUMETRA_GROUP_HANDLER(OnPixellatePixelSizeChanged, checkPixellate)
LUMETRA_GROUP_HANDLER(OnHalftoneDotSizeChanged, checkHalftone)
LUMETRA_GROUP_HANDLER(OnBlurIntensityChanged, checkBlur)
LUMETRA_GROUP_HANDLER(OnCircleBlurIntensityChanged, checkCircleBlur)
LUMETRA_GROUP_HANDLER(OnCircleBlurRadiusChanged, checkCircleBlur)
LUMETRA_GROUP_HANDLER(OnFocusBlurIntensityChanged, checkFocusBlur)
LUMETRA_GROUP_HANDLER(OnFocusBlurRadiusChanged, checkFocusBlur)
LUMETRA_GROUP_HANDLER(OnFocusBlurEdgeChanged, checkFocusBlur)
LUMETRA_GROUP_HANDLER(OnMotionBlurIntensityChanged, checkMotionBlur)
LUMETRA_GROUP_HANDLER(OnMotionBlurAngleChanged, checkMotionBlur)
LUMETRA_GROUP_HANDLER(OnZoomBlurIntensityChanged, checkZoomBlur)
LUMETRA_GROUP_HANDLER(OnRotateAngleChanged, checkRotate)
LUMETRA_GROUP_HANDLER(OnSwirlRadiusChanged, checkSwirl)
LUMETRA_GROUP_HANDLER(OnSwirlAngleChanged, checkSwirl)
LUMETRA_GROUP_HANDLER(OnGlassSphereRadiusChanged, checkGlassSphere)
LUMETRA_GROUP_HANDLER(OnGlassSphereRefractionChanged, checkGlassSphere)
LUMETRA_GROUP_HANDLER(OnTextColorChanged, checkTextWatermark)
LUMETRA_GROUP_HANDLER(OnTextFontTypeSelected, checkTextWatermark)
LUMETRA_GROUP_HANDLER(OnTextShadowChecked, checkTextWatermark)
LUMETRA_GROUP_HANDLER(OnTextPositionSelected, checkTextWatermark)
LUMETRA_GROUP_HANDLER(OnTextStrokeChecked, checkTextWatermark)
LUMETRA_GROUP_HANDLER(OnImagePositionSelected, checkImageWatermark)
#undef LUMETRA_GROUP_HANDLER

// Paired number fields: the stepper is what the render pass reads.
void ViewController::OnPairedStepperChanged(QLineEdit* field, Stepper* stepper,
                                            QCheckBox* groupCheck) {
    field->setText(FormatFieldNumber(stepper->floatValue()));
    RenderIfOn(groupCheck);
}

void ViewController::OnPairedTextFieldChanged(QLineEdit* field, Stepper* stepper,
                                              QCheckBox* groupCheck) {
    stepper->setFloatValue(TextFieldNumber(field->text()));
    if (groupCheck->checkState() != Qt::Checked) return;
    if (DiffersFromCurrentState(*field, field->text())) UpdateImageEffect();
}

#define LUMETRA_PAIR_HANDLERS(name, group)                                      \
    void ViewController::OnStepper##name##Changed() {                           \
        OnPairedStepperChanged(textField##name, stepper##name, check##group);   \
    }                                                                           \
    void ViewController::OnTextField##name##Changed() {                         \
        OnPairedTextFieldChanged(textField##name, stepper##name, check##group); \
    }
LUMETRA_PAIR_HANDLERS(TextFontSize, TextWatermark)
LUMETRA_PAIR_HANDLERS(TextOpacity, TextWatermark)
LUMETRA_PAIR_HANDLERS(TextXOffset, TextWatermark)
LUMETRA_PAIR_HANDLERS(TextYOffset, TextWatermark)
LUMETRA_PAIR_HANDLERS(ImageScale, ImageWatermark)
LUMETRA_PAIR_HANDLERS(ImageOpacity, ImageWatermark)
LUMETRA_PAIR_HANDLERS(ImageXOffset, ImageWatermark)
LUMETRA_PAIR_HANDLERS(ImageYOffset, ImageWatermark)
#undef LUMETRA_PAIR_HANDLERS

// The watermark text: on ending the edit, only when it is not yet recorded.
void ViewController::OnTextChanged() {
    if (checkTextWatermark->checkState() != Qt::Checked) return;
    if (DiffersFromCurrentState(*textFieldText, textFieldText->text())) UpdateImageEffect();
}

// Every reported keystroke of a text field renders.
void ViewController::controlTextDidChange() {
    UpdateImageEffect();
}

// The 3D matrix: the steppers write their cells' texts.
void ViewController::OnMatrixStepperChanged(QLineEdit* field, Stepper* stepper) {
    field->setText(FloatToFormattedString(stepper->floatValue()));
    RenderIfOn(check3DTransform);
}

#define LUMETRA_MATRIX_HANDLER(rc)                                                  \
    void ViewController::On3DMatrixM##rc##Changed() {                               \
        OnMatrixStepperChanged(textField3DTransformM##rc, stepper3DTransformM##rc); \
    }
LUMETRA_MATRIX_HANDLER(11)
LUMETRA_MATRIX_HANDLER(12)
LUMETRA_MATRIX_HANDLER(13)
LUMETRA_MATRIX_HANDLER(14)
LUMETRA_MATRIX_HANDLER(21)
LUMETRA_MATRIX_HANDLER(22)
LUMETRA_MATRIX_HANDLER(23)
LUMETRA_MATRIX_HANDLER(24)
LUMETRA_MATRIX_HANDLER(31)
LUMETRA_MATRIX_HANDLER(32)
LUMETRA_MATRIX_HANDLER(33)
LUMETRA_MATRIX_HANDLER(34)
LUMETRA_MATRIX_HANDLER(41)
LUMETRA_MATRIX_HANDLER(42)
LUMETRA_MATRIX_HANDLER(43)
LUMETRA_MATRIX_HANDLER(44)
#undef LUMETRA_MATRIX_HANDLER

// Reset buttons.
void ViewController::ResetGroup(Group group) {
    const GroupSpec& spec = GroupOf(group);
    // The group's controls, its on/off box aside.
    std::vector<const FieldSpec*> controls;
    for (const FieldSpec& field : SettingsFields())
        if (field.group == group &&
            !(spec.checkBox && std::string_view(field.name) == spec.checkBox))
            controls.push_back(&field);
    if (std::all_of(controls.begin(), controls.end(), [this](const FieldSpec* field) {
            return ReadControl(*field) == field->defaultValue;
        }))
        return;
    for (const FieldSpec* field : controls) WriteControl(*field, field->defaultValue);
    if (group == Group::ImageWatermark) logo = Image();
    if (!spec.checkBox)
        UpdateImageEffect();
    else
        RenderIfOn(static_cast<QCheckBox*>(outlets_.Find(spec.checkBox)));
}

#define LUMETRA_RESET_HANDLER(name, group) \
    void ViewController::OnReset##name() { \
        ResetGroup(Group::group);          \
    }
LUMETRA_RESET_HANDLER(Adjustments, Adjustments)
LUMETRA_RESET_HANDLER(Sepia, Sepia)
LUMETRA_RESET_HANDLER(Cartoon, Cartoon)
LUMETRA_RESET_HANDLER(OilPainting, OilPainting)
LUMETRA_RESET_HANDLER(Vignette, Vignette)
LUMETRA_RESET_HANDLER(Pixellate, Pixellate)
LUMETRA_RESET_HANDLER(Halftone, Halftone)
LUMETRA_RESET_HANDLER(Blur, Blur)
LUMETRA_RESET_HANDLER(CircleBlur, CircleBlur)
LUMETRA_RESET_HANDLER(FocusBlur, FocusBlur)
LUMETRA_RESET_HANDLER(MotionBlur, MotionBlur)
LUMETRA_RESET_HANDLER(ZoomBlur, ZoomBlur)
LUMETRA_RESET_HANDLER(3DTransform, Transform3D)
LUMETRA_RESET_HANDLER(Rotate, Rotate)
LUMETRA_RESET_HANDLER(Swirl, Swirl)
LUMETRA_RESET_HANDLER(GlassSphere, GlassSphere)
LUMETRA_RESET_HANDLER(TextWatermark, TextWatermark)
LUMETRA_RESET_HANDLER(ImageWatermark, ImageWatermark)
#undef LUMETRA_RESET_HANDLER

}  // namespace lumetra
