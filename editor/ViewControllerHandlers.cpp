// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's handlers. Each reads like the rule it implements: the
// adjustments and the group boxes always render; a control inside a group
// renders only while its group is on; a typed number renders only when it
// differs from what the current settings text recorded; a reset whose
// controls already hold their defaults does nothing.
#include <QCheckBox>
#include <QLineEdit>

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
void ViewController::OnBrightnessChanged() {
    UpdateImageEffect();
}
void ViewController::OnExposureChanged() {
    UpdateImageEffect();
}
void ViewController::OnContrastChanged() {
    UpdateImageEffect();
}
void ViewController::OnSaturationChanged() {
    UpdateImageEffect();
}
void ViewController::OnGammaChanged() {
    UpdateImageEffect();
}
void ViewController::OnHueChanged() {
    UpdateImageEffect();
}
void ViewController::OnRedChanged() {
    UpdateImageEffect();
}
void ViewController::OnGreenChanged() {
    UpdateImageEffect();
}
void ViewController::OnBlueChanged() {
    UpdateImageEffect();
}
void ViewController::OnBlackAndWhiteChecked() {
    UpdateImageEffect();
}
void ViewController::OnSepiaChecked() {
    UpdateImageEffect();
}
void ViewController::OnCartoonChecked() {
    UpdateImageEffect();
}
void ViewController::OnOilPaintingChecked() {
    UpdateImageEffect();
}
void ViewController::OnVignetteChecked() {
    UpdateImageEffect();
}
void ViewController::OnPixellateChecked() {
    UpdateImageEffect();
}
void ViewController::OnHalftoneChecked() {
    UpdateImageEffect();
}
void ViewController::OnBlurChecked() {
    UpdateImageEffect();
}
void ViewController::OnCircleBlurChecked() {
    UpdateImageEffect();
}
void ViewController::OnFocusBlurChecked() {
    UpdateImageEffect();
}
void ViewController::OnMotionBlurChecked() {
    UpdateImageEffect();
}
void ViewController::OnZoomBlurChecked() {
    UpdateImageEffect();
}
void ViewController::On3DTransformChecked() {
    UpdateImageEffect();
}
void ViewController::OnRotateChecked() {
    UpdateImageEffect();
}
void ViewController::OnSwirlChecked() {
    UpdateImageEffect();
}
void ViewController::OnGlassSphereChecked() {
    UpdateImageEffect();
}
void ViewController::OnTextWatermarkChecked() {
    UpdateImageEffect();
}
void ViewController::OnImageWatermarkChecked() {
    UpdateImageEffect();
}

// Controls inside a group: only while the group is on.
void ViewController::OnSepiaIntensityChanged() {
    RenderIfOn(checkSepia);
}
void ViewController::OnCartoonBlurChanged() {
    RenderIfOn(checkCartoon);
}
void ViewController::OnCartoonThresholdChanged() {
    RenderIfOn(checkCartoon);
}
void ViewController::OnCartoonQuantizationChanged() {
    RenderIfOn(checkCartoon);
}
void ViewController::OnOilPaintingIntensityChanged() {
    RenderIfOn(checkOilPainting);
}
void ViewController::OnVignetteRadiusChanged() {
    RenderIfOn(checkVignette);
}
void ViewController::OnPixellatePixelSizeChanged() {
    RenderIfOn(checkPixellate);
}
void ViewController::OnHalftoneDotSizeChanged() {
    RenderIfOn(checkHalftone);
}
void ViewController::OnBlurIntensityChanged() {
    RenderIfOn(checkBlur);
}
void ViewController::OnCircleBlurIntensityChanged() {
    RenderIfOn(checkCircleBlur);
}
void ViewController::OnCircleBlurRadiusChanged() {
    RenderIfOn(checkCircleBlur);
}
void ViewController::OnFocusBlurIntensityChanged() {
    RenderIfOn(checkFocusBlur);
}
void ViewController::OnFocusBlurRadiusChanged() {
    RenderIfOn(checkFocusBlur);
}
void ViewController::OnFocusBlurEdgeChanged() {
    RenderIfOn(checkFocusBlur);
}
void ViewController::OnMotionBlurIntensityChanged() {
    RenderIfOn(checkMotionBlur);
}
void ViewController::OnMotionBlurAngleChanged() {
    RenderIfOn(checkMotionBlur);
}
void ViewController::OnZoomBlurIntensityChanged() {
    RenderIfOn(checkZoomBlur);
}
void ViewController::OnRotateAngleChanged() {
    RenderIfOn(checkRotate);
}
void ViewController::OnSwirlRadiusChanged() {
    RenderIfOn(checkSwirl);
}
void ViewController::OnSwirlAngleChanged() {
    RenderIfOn(checkSwirl);
}
void ViewController::OnGlassSphereRadiusChanged() {
    RenderIfOn(checkGlassSphere);
}
void ViewController::OnGlassSphereRefractionChanged() {
    RenderIfOn(checkGlassSphere);
}
void ViewController::OnTextColorChanged() {
    RenderIfOn(checkTextWatermark);
}
void ViewController::OnTextFontTypeSelected() {
    RenderIfOn(checkTextWatermark);
}
void ViewController::OnTextShadowChecked() {
    RenderIfOn(checkTextWatermark);
}
void ViewController::OnTextPositionSelected() {
    RenderIfOn(checkTextWatermark);
}
void ViewController::OnTextStrokeChecked() {
    RenderIfOn(checkTextWatermark);
}
void ViewController::OnImagePositionSelected() {
    RenderIfOn(checkImageWatermark);
}

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

void ViewController::OnStepperTextFontSizeChanged() {
    OnPairedStepperChanged(textFieldTextFontSize, stepperTextFontSize, checkTextWatermark);
}
void ViewController::OnTextFieldTextFontSizeChanged() {
    OnPairedTextFieldChanged(textFieldTextFontSize, stepperTextFontSize, checkTextWatermark);
}
void ViewController::OnStepperTextOpacityChanged() {
    OnPairedStepperChanged(textFieldTextOpacity, stepperTextOpacity, checkTextWatermark);
}
void ViewController::OnTextFieldTextOpacityChanged() {
    OnPairedTextFieldChanged(textFieldTextOpacity, stepperTextOpacity, checkTextWatermark);
}
void ViewController::OnStepperTextXOffsetChanged() {
    OnPairedStepperChanged(textFieldTextXOffset, stepperTextXOffset, checkTextWatermark);
}
void ViewController::OnTextFieldTextXOffsetChanged() {
    OnPairedTextFieldChanged(textFieldTextXOffset, stepperTextXOffset, checkTextWatermark);
}
void ViewController::OnStepperTextYOffsetChanged() {
    OnPairedStepperChanged(textFieldTextYOffset, stepperTextYOffset, checkTextWatermark);
}
void ViewController::OnTextFieldTextYOffsetChanged() {
    OnPairedTextFieldChanged(textFieldTextYOffset, stepperTextYOffset, checkTextWatermark);
}
void ViewController::OnStepperImageScaleChanged() {
    OnPairedStepperChanged(textFieldImageScale, stepperImageScale, checkImageWatermark);
}
void ViewController::OnTextFieldImageScaleChanged() {
    OnPairedTextFieldChanged(textFieldImageScale, stepperImageScale, checkImageWatermark);
}
void ViewController::OnStepperImageOpacityChanged() {
    OnPairedStepperChanged(textFieldImageOpacity, stepperImageOpacity, checkImageWatermark);
}
void ViewController::OnTextFieldImageOpacityChanged() {
    OnPairedTextFieldChanged(textFieldImageOpacity, stepperImageOpacity, checkImageWatermark);
}
void ViewController::OnStepperImageXOffsetChanged() {
    OnPairedStepperChanged(textFieldImageXOffset, stepperImageXOffset, checkImageWatermark);
}
void ViewController::OnTextFieldImageXOffsetChanged() {
    OnPairedTextFieldChanged(textFieldImageXOffset, stepperImageXOffset, checkImageWatermark);
}
void ViewController::OnStepperImageYOffsetChanged() {
    OnPairedStepperChanged(textFieldImageYOffset, stepperImageYOffset, checkImageWatermark);
}
void ViewController::OnTextFieldImageYOffsetChanged() {
    OnPairedTextFieldChanged(textFieldImageYOffset, stepperImageYOffset, checkImageWatermark);
}

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
    bool differs = false;
    for (const FieldSpec& field : SettingsFields()) {
        if (field.group != group ||
            (spec.checkBox && std::string_view(field.name) == spec.checkBox))
            continue;
        if (ReadControl(field) != field.defaultValue) differs = true;
    }
    if (!differs) return;
    for (const FieldSpec& field : SettingsFields()) {
        if (field.group != group ||
            (spec.checkBox && std::string_view(field.name) == spec.checkBox))
            continue;
        WriteControl(field, field.defaultValue);
    }
    if (group == Group::ImageWatermark) logo = Image();
    if (!spec.checkBox)
        UpdateImageEffect();
    else
        RenderIfOn(static_cast<QCheckBox*>(outlets_.Find(spec.checkBox)));
}

void ViewController::OnResetAdjustments() {
    ResetGroup(Group::Adjustments);
}
void ViewController::OnResetSepia() {
    ResetGroup(Group::Sepia);
}
void ViewController::OnResetCartoon() {
    ResetGroup(Group::Cartoon);
}
void ViewController::OnResetOilPainting() {
    ResetGroup(Group::OilPainting);
}
void ViewController::OnResetVignette() {
    ResetGroup(Group::Vignette);
}
void ViewController::OnResetPixellate() {
    ResetGroup(Group::Pixellate);
}
void ViewController::OnResetHalftone() {
    ResetGroup(Group::Halftone);
}
void ViewController::OnResetBlur() {
    ResetGroup(Group::Blur);
}
void ViewController::OnResetCircleBlur() {
    ResetGroup(Group::CircleBlur);
}
void ViewController::OnResetFocusBlur() {
    ResetGroup(Group::FocusBlur);
}
void ViewController::OnResetMotionBlur() {
    ResetGroup(Group::MotionBlur);
}
void ViewController::OnResetZoomBlur() {
    ResetGroup(Group::ZoomBlur);
}
void ViewController::OnReset3DTransform() {
    ResetGroup(Group::Transform3D);
}
void ViewController::OnResetRotate() {
    ResetGroup(Group::Rotate);
}
void ViewController::OnResetSwirl() {
    ResetGroup(Group::Swirl);
}
void ViewController::OnResetGlassSphere() {
    ResetGroup(Group::GlassSphere);
}
void ViewController::OnResetTextWatermark() {
    ResetGroup(Group::TextWatermark);
}
void ViewController::OnResetImageWatermark() {
    ResetGroup(Group::ImageWatermark);
}

}  // namespace lumetra
