// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFields.h"

#include <locale.h>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace lumetra {
namespace {

using S = EditSettings;

FieldSpec Slider(const char* name, float S::*member, int line, Group group, float def,
                 const char* label, float min, float max, const char* action) {
    return FieldSpec{name, FieldKind::Slider, member, line, group, def, label, min, max,
                     0.f,  nullptr,           action};
}

FieldSpec Check(const char* name, int S::*member, int line, Group group, int def, const char* label,
                const char* action) {
    return FieldSpec{
        name, FieldKind::CheckBox, member, line, group, def, label, 0.f, 0.f, 0.f, nullptr, action};
}

FieldSpec Text(const char* name, QString S::*member, int line, Group group, const char* def,
               const char* label, const char* action) {
    return FieldSpec{name,    FieldKind::TextField,
                     member,  line,
                     group,   QString::fromUtf8(def),
                     label,   0.f,
                     0.f,     0.f,
                     nullptr, action};
}

FieldSpec PopUp(const char* name, int S::*member, int line, Group group, int def, const char* label,
                const char* action) {
    return FieldSpec{name, FieldKind::PopUp, member, line, group, def, label, 0.f, 0.f,
                     0.f,  nullptr,          action};
}

// A stepper (line n) and its text field (line n + 1), stepper first.
void Pair(std::vector<FieldSpec>& fields, const char* stepper, float S::*stepperMember,
          const char* text, QString S::*textMember, int stepperLine, Group group, float def,
          const char* label, float min, float max, float increment, const char* textAction,
          const char* stepperAction) {
    fields.push_back(FieldSpec{text, FieldKind::TextField, textMember, stepperLine + 1, group,
                               FormatFieldNumber(def), label, 0.f, 0.f, 0.f, stepper, textAction});
    fields.push_back(FieldSpec{stepper, FieldKind::Stepper, stepperMember, stepperLine, group, def,
                               label, min, max, increment, text, stepperAction});
}

std::vector<FieldSpec> BuildFields() {
    std::vector<FieldSpec> f;
    f.reserve(120);
    const Group A = Group::Adjustments;
    f.push_back(Slider("sliderBrightness", &S::sliderBrightness, 1, A, 0.f, "Brightness", -1, 1,
                       "OnBrightnessChanged"));
    f.push_back(Slider("sliderExposure", &S::sliderExposure, 2, A, 0.f, "Exposure", -4, 4,
                       "OnExposureChanged"));
    f.push_back(Slider("sliderContrast", &S::sliderContrast, 3, A, 1.f, "Contrast", 0, 4,
                       "OnContrastChanged"));
    f.push_back(Slider("sliderSaturation", &S::sliderSaturation, 4, A, 1.f, "Saturation", 0, 2,
                       "OnSaturationChanged"));
    f.push_back(Slider("sliderGamma", &S::sliderGamma, 5, A, 1.f, "Gamma", 0, 3, "OnGammaChanged"));
    f.push_back(Slider("sliderRed", &S::sliderRed, 7, A, 1.f, "Red", 0, 2, "OnRedChanged"));
    f.push_back(Slider("sliderGreen", &S::sliderGreen, 8, A, 1.f, "Green", 0, 2, "OnGreenChanged"));
    f.push_back(Slider("sliderBlue", &S::sliderBlue, 9, A, 1.f, "Blue", 0, 2, "OnBlueChanged"));
    f.push_back(Slider("sliderHue", &S::sliderHue, 6, A, 0.f, "Hue", 0, 360, "OnHueChanged"));

    const Group T = Group::TextWatermark;
    f.push_back(Check("checkTextWatermark", &S::checkTextWatermark, 80, T, 0, "Text watermark",
                      "OnTextWatermarkChecked"));
    f.push_back(
        Text("textFieldText", &S::textFieldText, 81, T, "Watermark", "Text", "OnTextChanged"));
    f.push_back(FieldSpec{"colorWellTextColor", FieldKind::ColorWell, &S::colorWellTextColor, 82, T,
                          RgbaColor{1.0, 1.0, 1.0, 1.0}, "Colour", 0.f, 0.f, 0.f, nullptr,
                          "OnTextColorChanged"});
    f.push_back(PopUp("comboTextFontType", &S::comboTextFontType, 85, T, 12, "Font",
                      "OnTextFontTypeSelected"));
    Pair(f, "stepperTextFontSize", &S::stepperTextFontSize, "textFieldTextFontSize",
         &S::textFieldTextFontSize, 86, T, 80.f, "Size", 1, 2000, 1,
         "OnTextFieldTextFontSizeChanged", "OnStepperTextFontSizeChanged");
    Pair(f, "stepperTextOpacity", &S::stepperTextOpacity, "textFieldTextOpacity",
         &S::textFieldTextOpacity, 88, T, 70.f, "Opacity", 0, 100, 1,
         "OnTextFieldTextOpacityChanged", "OnStepperTextOpacityChanged");
    f.push_back(
        Check("checkTextShadow", &S::checkTextShadow, 90, T, 0, "Shadow", "OnTextShadowChecked"));
    f.push_back(PopUp("comboTextPosition", &S::comboTextPosition, 91, T, 0, "Position",
                      "OnTextPositionSelected"));
    f.push_back(
        Check("checkTextStroke", &S::checkTextStroke, 92, T, 0, "Stroke", "OnTextStrokeChecked"));
    Pair(f, "stepperTextXOffset", &S::stepperTextXOffset, "textFieldTextXOffset",
         &S::textFieldTextXOffset, 93, T, 0.f, "X offset", -100000, 100000, 1,
         "OnTextFieldTextXOffsetChanged", "OnStepperTextXOffsetChanged");
    Pair(f, "stepperTextYOffset", &S::stepperTextYOffset, "textFieldTextYOffset",
         &S::textFieldTextYOffset, 95, T, 0.f, "Y offset", -100000, 100000, 1,
         "OnTextFieldTextYOffsetChanged", "OnStepperTextYOffsetChanged");

    const Group I = Group::ImageWatermark;
    f.push_back(Check("checkImageWatermark", &S::checkImageWatermark, 97, I, 0, "Logo watermark",
                      "OnImageWatermarkChecked"));
    f.push_back(Text("textFieldImage", &S::textFieldImage, 98, I, "", "Logo", nullptr));
    Pair(f, "stepperImageScale", &S::stepperImageScale, "textFieldImageScale",
         &S::textFieldImageScale, 99, I, 100.f, "Scale %", 1, 2000, 1,
         "OnTextFieldImageScaleChanged", "OnStepperImageScaleChanged");
    Pair(f, "stepperImageOpacity", &S::stepperImageOpacity, "textFieldImageOpacity",
         &S::textFieldImageOpacity, 101, I, 70.f, "Opacity", 0, 100, 1,
         "OnTextFieldImageOpacityChanged", "OnStepperImageOpacityChanged");
    f.push_back(PopUp("comboImagePosition", &S::comboImagePosition, 103, I, 1, "Position",
                      "OnImagePositionSelected"));
    Pair(f, "stepperImageXOffset", &S::stepperImageXOffset, "textFieldImageXOffset",
         &S::textFieldImageXOffset, 104, I, 0.f, "X offset", -100000, 100000, 1,
         "OnTextFieldImageXOffsetChanged", "OnStepperImageXOffsetChanged");
    Pair(f, "stepperImageYOffset", &S::stepperImageYOffset, "textFieldImageYOffset",
         &S::textFieldImageYOffset, 106, I, 0.f, "Y offset", -100000, 100000, 1,
         "OnTextFieldImageYOffsetChanged", "OnStepperImageYOffsetChanged");

    f.push_back(Check("checkBlackWhite", &S::checkBlackWhite, 10, Group::BlackWhite, 0,
                      "Black and white", "OnBlackAndWhiteChecked"));
    f.push_back(
        Check("checkSepia", &S::checkSepia, 11, Group::Sepia, 0, "Sepia", "OnSepiaChecked"));
    f.push_back(Slider("sliderSepiaIntensity", &S::sliderSepiaIntensity, 12, Group::Sepia, 1.f,
                       "Intensity", 0, 1, "OnSepiaIntensityChanged"));
    f.push_back(Check("checkCartoon", &S::checkCartoon, 13, Group::Cartoon, 0, "Cartoon",
                      "OnCartoonChecked"));
    f.push_back(Slider("sliderCartoonBlur", &S::sliderCartoonBlur, 14, Group::Cartoon, 2.f, "Blur",
                       0, 10, "OnCartoonBlurChanged"));
    f.push_back(Slider("sliderCartoonThreshold", &S::sliderCartoonThreshold, 15, Group::Cartoon,
                       0.2f, "Threshold", 0, 1, "OnCartoonThresholdChanged"));
    f.push_back(Slider("sliderCartoonQuantization", &S::sliderCartoonQuantization, 16,
                       Group::Cartoon, 10.f, "Levels", 1, 50, "OnCartoonQuantizationChanged"));
    f.push_back(Check("checkOilPainting", &S::checkOilPainting, 17, Group::OilPainting, 0,
                      "Oil painting", "OnOilPaintingChecked"));
    f.push_back(Slider("sliderOilPaintingIntensity", &S::sliderOilPaintingIntensity, 18,
                       Group::OilPainting, 4.f, "Radius", 0, 10, "OnOilPaintingIntensityChanged"));
    f.push_back(Check("checkVignette", &S::checkVignette, 19, Group::Vignette, 0, "Vignette",
                      "OnVignetteChecked"));
    f.push_back(Slider("sliderVignetteRadius", &S::sliderVignetteRadius, 20, Group::Vignette, 0.f,
                       "Offset", -0.25f, 0.25f, "OnVignetteRadiusChanged"));
    f.push_back(Check("checkPixellate", &S::checkPixellate, 21, Group::Pixellate, 0, "Pixelate",
                      "OnPixellateChecked"));
    f.push_back(Slider("sliderPixellatePixelSize", &S::sliderPixellatePixelSize, 22,
                       Group::Pixellate, 0.02f, "Cell size", 0, 0.2f,
                       "OnPixellatePixelSizeChanged"));
    f.push_back(Check("checkHalftone", &S::checkHalftone, 23, Group::Halftone, 0, "Halftone",
                      "OnHalftoneChecked"));
    f.push_back(Slider("sliderHalftoneDotSize", &S::sliderHalftoneDotSize, 24, Group::Halftone,
                       0.02f, "Dot size", 0, 0.2f, "OnHalftoneDotSizeChanged"));
    f.push_back(
        Check("checkBlur", &S::checkBlur, 25, Group::Blur, 0, "Gaussian blur", "OnBlurChecked"));
    f.push_back(Slider("sliderBlurIntensity", &S::sliderBlurIntensity, 26, Group::Blur, 35.f,
                       "Radius", 0, 100, "OnBlurIntensityChanged"));
    f.push_back(Check("checkCircleBlur", &S::checkCircleBlur, 27, Group::CircleBlur, 0,
                      "Circle blur", "OnCircleBlurChecked"));
    f.push_back(Slider("sliderCircleBlurIntensity", &S::sliderCircleBlurIntensity, 28,
                       Group::CircleBlur, 15.f, "Intensity", 0, 50,
                       "OnCircleBlurIntensityChanged"));
    f.push_back(Slider("sliderCircleBlurRadius", &S::sliderCircleBlurRadius, 29, Group::CircleBlur,
                       0.2f, "Radius", 0, 1, "OnCircleBlurRadiusChanged"));
    f.push_back(Check("checkFocusBlur", &S::checkFocusBlur, 30, Group::FocusBlur, 0, "Focus blur",
                      "OnFocusBlurChecked"));
    f.push_back(Slider("sliderFocusBlurIntensity", &S::sliderFocusBlurIntensity, 31,
                       Group::FocusBlur, 25.f, "Intensity", 0, 100, "OnFocusBlurIntensityChanged"));
    f.push_back(Slider("sliderFocusBlurRadius", &S::sliderFocusBlurRadius, 32, Group::FocusBlur,
                       0.6f, "Radius", 0, 1, "OnFocusBlurRadiusChanged"));
    f.push_back(Slider("sliderFocusBlurEdge", &S::sliderFocusBlurEdge, 33, Group::FocusBlur, 0.4f,
                       "Edge", 0, 1, "OnFocusBlurEdgeChanged"));
    f.push_back(Check("checkMotionBlur", &S::checkMotionBlur, 34, Group::MotionBlur, 0,
                      "Motion blur", "OnMotionBlurChecked"));
    f.push_back(Slider("sliderMotionBlurIntensity", &S::sliderMotionBlurIntensity, 35,
                       Group::MotionBlur, 40.f, "Intensity", 0, 100,
                       "OnMotionBlurIntensityChanged"));
    f.push_back(Slider("sliderMotionBlurAngle", &S::sliderMotionBlurAngle, 36, Group::MotionBlur,
                       0.f, "Angle", -180, 180, "OnMotionBlurAngleChanged"));
    f.push_back(Check("checkZoomBlur", &S::checkZoomBlur, 37, Group::ZoomBlur, 0, "Zoom blur",
                      "OnZoomBlurChecked"));
    f.push_back(Slider("sliderZoomBlurIntensity", &S::sliderZoomBlurIntensity, 38, Group::ZoomBlur,
                       1.f, "Intensity", 0, 10, "OnZoomBlurIntensityChanged"));

    const Group M = Group::Transform3D;
    f.push_back(Check("check3DTransform", &S::check3DTransform, 39, M, 0, "3D transform",
                      "On3DTransformChecked"));
    static const struct {
        const char* stepper;
        float S::*stepperMember;
        const char* text;
        QString S::*textMember;
        const char* action;
    } cells[16] = {
#define LUMETRA_CELL(rc)                                                                  \
    {"stepper3DTransformM" #rc, &S::stepper3DTransformM##rc, "textField3DTransformM" #rc, \
     &S::textField3DTransformM##rc, "On3DMatrixM" #rc "Changed"}
        LUMETRA_CELL(11), LUMETRA_CELL(12), LUMETRA_CELL(13), LUMETRA_CELL(14),
        LUMETRA_CELL(21), LUMETRA_CELL(22), LUMETRA_CELL(23), LUMETRA_CELL(24),
        LUMETRA_CELL(31), LUMETRA_CELL(32), LUMETRA_CELL(33), LUMETRA_CELL(34),
        LUMETRA_CELL(41), LUMETRA_CELL(42), LUMETRA_CELL(43), LUMETRA_CELL(44),
#undef LUMETRA_CELL
    };
    for (int i = 0; i < 16; ++i) {
        const bool diagonal = i % 5 == 0;
        const int line = 40 + 2 * i;
        f.push_back(FieldSpec{cells[i].text, FieldKind::TextField, cells[i].textMember, line + 1, M,
                              QString::fromLatin1(diagonal ? "1.00" : "0"), "", 0.f, 0.f, 0.f,
                              cells[i].stepper, nullptr});
        f.push_back(FieldSpec{cells[i].stepper, FieldKind::Stepper, cells[i].stepperMember, line, M,
                              diagonal ? 1.f : 0.f, "", -10.f, 10.f, 0.01f, cells[i].text,
                              cells[i].action});
    }

    f.push_back(
        Check("checkSwirl", &S::checkSwirl, 74, Group::Swirl, 0, "Swirl", "OnSwirlChecked"));
    f.push_back(Slider("sliderSwirlRadius", &S::sliderSwirlRadius, 75, Group::Swirl, 0.5f, "Radius",
                       0, 1, "OnSwirlRadiusChanged"));
    f.push_back(Slider("sliderSwirlAngle", &S::sliderSwirlAngle, 76, Group::Swirl, 1.f, "Angle", -5,
                       5, "OnSwirlAngleChanged"));
    f.push_back(Check("checkGlassSphere", &S::checkGlassSphere, 77, Group::GlassSphere, 0,
                      "Glass sphere", "OnGlassSphereChecked"));
    f.push_back(Slider("sliderGlassSphereRadius", &S::sliderGlassSphereRadius, 78,
                       Group::GlassSphere, 0.25f, "Radius", 0, 1, "OnGlassSphereRadiusChanged"));
    f.push_back(Slider("sliderGlassSphereRefraction", &S::sliderGlassSphereRefraction, 79,
                       Group::GlassSphere, 0.71f, "Refraction", 0, 2,
                       "OnGlassSphereRefractionChanged"));
    f.push_back(
        Check("checkRotate", &S::checkRotate, 72, Group::Rotate, 0, "Rotate", "OnRotateChecked"));
    f.push_back(Slider("sliderRotateAngle", &S::sliderRotateAngle, 73, Group::Rotate, 0.f, "Angle",
                       -360, 360, "OnRotateAngleChanged"));

    const Group E = Group::Export;
    f.push_back(PopUp("comboFormat", &S::comboFormat, 108, E, 0, "Format", "OnFormatSelected"));
    f.push_back(Slider("sliderQuality", &S::sliderQuality, 109, E, 80.f, "Quality", 0, 100,
                       "OnQualityChanged"));
    f.push_back(Text("textFieldWidth", &S::textFieldWidth, 110, E, "0", "Width", "OnWidthChanged"));
    f.push_back(
        Text("textFieldHeight", &S::textFieldHeight, 111, E, "0", "Height", "OnHeightChanged"));
    f.push_back(Check("checkKeepAspect", &S::checkKeepAspect, 112, E, 1, "Keep aspect ratio",
                      "OnKeepAspectChecked"));
    f.push_back(Check("checkKeepExifInfo", &S::checkKeepExifInfo, 113, E, 0, "Keep EXIF",
                      "OnKeepExifInfoSelected"));
    return f;
}

}  // namespace

const std::vector<FieldSpec>& SettingsFields() {
    static const std::vector<FieldSpec> fields = BuildFields();
    return fields;
}

const FieldSpec* FindField(std::string_view name) {
    for (const FieldSpec& field : SettingsFields())
        if (name == field.name) return &field;
    return nullptr;
}

const std::vector<const FieldSpec*>& FieldsByLine() {
    static const std::vector<const FieldSpec*> ordered = [] {
        std::vector<const FieldSpec*> v;
        for (const FieldSpec& field : SettingsFields()) v.push_back(&field);
        std::sort(v.begin(), v.end(),
                  [](const FieldSpec* a, const FieldSpec* b) { return a->line < b->line; });
        return v;
    }();
    return ordered;
}

const std::vector<GroupSpec>& SettingsGroups() {
    static const std::vector<GroupSpec> groups = {
        {Group::Adjustments, "Adjustments", nullptr, "buttonResetAdjustments",
         "OnResetAdjustments"},
        {Group::BlackWhite, "Black and white", "checkBlackWhite", nullptr, nullptr},
        {Group::Sepia, "Sepia", "checkSepia", "buttonResetSepia", "OnResetSepia"},
        {Group::Cartoon, "Cartoon", "checkCartoon", "buttonResetCartoon", "OnResetCartoon"},
        {Group::OilPainting, "Oil painting", "checkOilPainting", "buttonResetOilPainting",
         "OnResetOilPainting"},
        {Group::Vignette, "Vignette", "checkVignette", "buttonResetVignette", "OnResetVignette"},
        {Group::Pixellate, "Pixelate", "checkPixellate", "buttonResetPixelate", "OnResetPixellate"},
        {Group::Halftone, "Halftone", "checkHalftone", "buttonResetHalftone", "OnResetHalftone"},
        {Group::Blur, "Gaussian blur", "checkBlur", "buttonResetBlur", "OnResetBlur"},
        {Group::CircleBlur, "Circle blur", "checkCircleBlur", "buttonResetCircleBlur",
         "OnResetCircleBlur"},
        {Group::FocusBlur, "Focus blur", "checkFocusBlur", "buttonResetFocusBlur",
         "OnResetFocusBlur"},
        {Group::MotionBlur, "Motion blur", "checkMotionBlur", "buttonResetMotionBlur",
         "OnResetMotionBlur"},
        {Group::ZoomBlur, "Zoom blur", "checkZoomBlur", "buttonResetZoomBlur", "OnResetZoomBlur"},
        {Group::Transform3D, "3D transform", "check3DTransform", "buttonReset3DTransform",
         "OnReset3DTransform"},
        {Group::Rotate, "Rotate", "checkRotate", "buttonResetRotate", "OnResetRotate"},
        {Group::Swirl, "Swirl", "checkSwirl", "buttonResetSwirl", "OnResetSwirl"},
        {Group::GlassSphere, "Glass sphere", "checkGlassSphere", "buttonResetGlassSphere",
         "OnResetGlassSphere"},
        {Group::TextWatermark, "Text watermark", "checkTextWatermark", "buttonResetTextWatermark",
         "OnResetTextWatermark"},
        {Group::ImageWatermark, "Logo watermark", "checkImageWatermark",
         "buttonResetImageWatermark", "OnResetImageWatermark"},
        {Group::Export, "Export", nullptr, nullptr, nullptr},
    };
    return groups;
}

const GroupSpec& GroupOf(Group group) {
    for (const GroupSpec& spec : SettingsGroups())
        if (spec.group == group) return spec;
    throw std::logic_error("unknown group");
}

FieldValue GetField(const EditSettings& settings, const FieldSpec& field) {
    return std::visit([&](auto member) -> FieldValue { return settings.*member; }, field.member);
}

void SetField(EditSettings& settings, const FieldSpec& field, const FieldValue& value) {
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(settings.*member)>;
            settings.*member = std::get<T>(value);
        },
        field.member);
}

void ClampToFieldRanges(EditSettings& settings) {
    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind != FieldKind::Slider && field.kind != FieldKind::Stepper) continue;
        float& value = settings.*std::get<float EditSettings::*>(field.member);
        // The same comparisons as the controls' setters, so that every value,
        // signed zeros and infinities included, comes out as they leave it.
        if (!std::isnan(value))
            value = value < field.minimum ? field.minimum
                                          : (value > field.maximum ? field.maximum : value);
    }
}

EditSettings::EditSettings() {
    for (const FieldSpec& field : SettingsFields()) SetField(*this, field, field.defaultValue);
}

std::array<float, 16> TransformMatrixCells(const EditSettings& s) {
    return {s.stepper3DTransformM11, s.stepper3DTransformM12, s.stepper3DTransformM13,
            s.stepper3DTransformM14, s.stepper3DTransformM21, s.stepper3DTransformM22,
            s.stepper3DTransformM23, s.stepper3DTransformM24, s.stepper3DTransformM31,
            s.stepper3DTransformM32, s.stepper3DTransformM33, s.stepper3DTransformM34,
            s.stepper3DTransformM41, s.stepper3DTransformM42, s.stepper3DTransformM43,
            s.stepper3DTransformM44};
}

const QStringList& FontFamilyNames() {
    static const QStringList names = {"American Typewriter",
                                      "Arial",
                                      "Chalkduster",
                                      "Comic Sans MS",
                                      "Copperplate",
                                      "Didot",
                                      "Futura",
                                      "Geneva",
                                      "Georgia",
                                      "Gill Sans",
                                      "Helvetica",
                                      "Impact",
                                      "Marker Felt",
                                      "Monaco",
                                      "Optima",
                                      "Papyrus",
                                      "Skia",
                                      "Times New Roman",
                                      "Trebuchet MS",
                                      "Verdana"};
    return names;
}

const QStringList& PositionTitles() {
    static const QStringList titles = {"Bottom Left", "Bottom Right", "Top Left", "Top Right",
                                       "Center"};
    return titles;
}

const QStringList& FormatTitles() {
    static const QStringList titles = {"JPG",  "JPEG", "JPE", "JP2", "JPX",  "PNG",
                                       "TIFF", "TIF",  "GIF", "BMP", "WEBP", "AVIF"};
    return titles;
}

const QStringList& PopUpItems(const FieldSpec& field) {
    static const QStringList none;
    const std::string_view name = field.name;
    if (name == "comboTextFontType") return FontFamilyNames();
    if (name == "comboTextPosition" || name == "comboImagePosition") return PositionTitles();
    if (name == "comboFormat") return FormatTitles();
    return none;
}

QString FormatFieldNumber(float value) {
    return QString::number(double(value), 'g', 6);
}

namespace {

// The bytes of a text that may hold one number in the settings text's
// rules: not empty, ASCII only, no white space anywhere.
std::optional<QByteArray> StrictNumberBytes(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == ' ' || (u >= 0x09 && u <= 0x0d)) return std::nullopt;
    }
    return text.toLatin1();
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

// A text that is one number in the settings text's rules, read by parse
// (strtof_l or strtod_l) in the C locale.
template <class Number>
bool ParseNumberText(const QString& text, Number* value,
                     Number (*parse)(const char*, char**, locale_t)) {
    const std::optional<QByteArray> bytes = StrictNumberBytes(text);
    if (!bytes) return false;
    char* end = nullptr;
    const Number parsed = parse(bytes->constData(), &end, CLocale());
    if (end != bytes->constData() + bytes->size()) return false;
    *value = parsed;
    return true;
}

}  // namespace

bool ParseFloatText(const QString& text, float* value) {
    return ParseNumberText(text, value, strtof_l);
}

bool ParseDoubleText(const QString& text, double* value) {
    return ParseNumberText(text, value, strtod_l);
}

float TextFieldNumber(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const char* begin = bytes.constData();
    char* end = nullptr;
    const float value = strtof_l(begin, &end, CLocale());
    return end == begin ? 0.f : value;
}

QString QualityLabelText(float quality) {
    if (quality > 1.f) {
        const double whole = std::min(std::floor(double(quality)), 9.0e18);
        return QString::number(static_cast<long long>(whole));
    }
    return QStringLiteral("1");
}

}  // namespace lumetra
