// SPDX-License-Identifier: GPL-3.0-or-later
// The settings text: the documented lines, numbers in any locale, round
// trips, and bad texts refused whole.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/SettingsFields.h"
#include "settings/SettingsText.h"
#include "support/DecimalCommaLocale.h"
#include "support/FieldValues.h"

namespace lumetra {
namespace {

void ExpectSameSettings(const EditSettings& a, const EditSettings& b) {
    for (const FieldSpec& field : SettingsFields())
        EXPECT_TRUE(test::SameFieldValue(GetField(a, field), GetField(b, field))) << field.name;
}

// Every field changed, with the awkward values a panel can hold.
EditSettings EveryFieldChanged() {
    EditSettings s = test::EveryFieldChanged();
    s.sliderBrightness = std::nanf("");
    s.sliderExposure = std::numeric_limits<float>::infinity();
    s.stepperTextXOffset = -std::numeric_limits<float>::infinity();
    s.sliderHue = 1e-5f;
    s.sliderGamma = 1.23457f;
    s.stepperImageScale = 1234560.f;
    s.textFieldText = QStringLiteral("text ü");
    s.textFieldImage = QString();
    s.comboTextPosition = -1;
    s.colorWellTextColor = RgbaColor{0.1, 0.333333333333333, 0.987654321012345, 1.0};
    return s;
}

// The field on each line of the text, as the format documents it.
QStringList FieldOnLine() {
    QStringList names =
        QStringLiteral(
            "sliderBrightness sliderExposure sliderContrast sliderSaturation sliderGamma sliderHue "
            "sliderRed sliderGreen sliderBlue checkBlackWhite checkSepia sliderSepiaIntensity "
            "checkCartoon sliderCartoonBlur sliderCartoonThreshold sliderCartoonQuantization "
            "checkOilPainting sliderOilPaintingIntensity checkVignette sliderVignetteRadius "
            "checkPixellate sliderPixellatePixelSize checkHalftone sliderHalftoneDotSize checkBlur "
            "sliderBlurIntensity checkCircleBlur sliderCircleBlurIntensity sliderCircleBlurRadius "
            "checkFocusBlur sliderFocusBlurIntensity sliderFocusBlurRadius sliderFocusBlurEdge "
            "checkMotionBlur sliderMotionBlurIntensity sliderMotionBlurAngle checkZoomBlur "
            "sliderZoomBlurIntensity check3DTransform")
            .split(u' ');
    for (const QString cell : {"11", "12", "13", "14", "21", "22", "23", "24", "31", "32", "33",
                               "34", "41", "42", "43", "44"})
        names << "stepper3DTransformM" + cell << "textField3DTransformM" + cell;
    return names +
           QStringLiteral(
               "checkRotate sliderRotateAngle checkSwirl sliderSwirlRadius sliderSwirlAngle "
               "checkGlassSphere sliderGlassSphereRadius sliderGlassSphereRefraction "
               "checkTextWatermark "
               "textFieldText colorWellTextColor colorWellTextColor colorWellTextColor "
               "comboTextFontType "
               "stepperTextFontSize textFieldTextFontSize stepperTextOpacity textFieldTextOpacity "
               "checkTextShadow comboTextPosition checkTextStroke stepperTextXOffset "
               "textFieldTextXOffset stepperTextYOffset textFieldTextYOffset checkImageWatermark "
               "textFieldImage stepperImageScale textFieldImageScale stepperImageOpacity "
               "textFieldImageOpacity comboImagePosition stepperImageXOffset textFieldImageXOffset "
               "stepperImageYOffset textFieldImageYOffset comboFormat sliderQuality textFieldWidth "
               "textFieldHeight checkKeepAspect checkKeepExifInfo")
               .split(u' ');
}

TEST(SettingsText, TheDefaultsAreTheDocumentedText) {
    const char* const expected[113] = {
        "0.0",  "0.0",  "1.0", "1.0",       "1.0",  "0.0",  "1.0",  "1.0",  "1.0",  "0",    "0",
        "1.0",  "0",    "2.0", "0.2",       "10.0", "0",    "4.0",  "0",    "0.0",  "0",    "0.02",
        "0",    "0.02", "0",   "35.0",      "0",    "15.0", "0.2",  "0",    "25.0", "0.6",  "0.4",
        "0",    "40.0", "0.0", "0",         "1.0",  "0",    "1.0",  "1.00", "0.0",  "0",    "0.0",
        "0",    "0.0",  "0",   "0.0",       "0",    "1.0",  "1.00", "0.0",  "0",    "0.0",  "0",
        "0.0",  "0",    "0.0", "0",         "1.0",  "1.00", "0.0",  "0",    "0.0",  "0",    "0.0",
        "0",    "0.0",  "0",   "1.0",       "1.00", "0",    "0.0",  "0",    "0.5",  "1.0",  "0",
        "0.25", "0.71", "0",   "Watermark", "1.0",  "1.0",  "1.0",  "12",   "80.0", "80",   "70.0",
        "70",   "0",    "0",   "0",         "0.0",  "0",    "0.0",  "0",    "0",    "",     "100.0",
        "100",  "70.0", "70",  "1",         "0.0",  "0",    "0.0",  "0",    "0",    "80.0", "0",
        "0",    "1",    "0",
    };
    QString text;
    for (const char* line : expected) text += QString::fromLatin1(line) + u'\n';
    EXPECT_EQ(WriteSettingsText(EditSettings()), text);
}

TEST(SettingsText, EachFieldSitsOnItsDocumentedLine) {
    const QStringList defaults = SplitSettingsLines(WriteSettingsText(EditSettings()));
    const QStringList fieldOnLine = FieldOnLine();
    ASSERT_EQ(fieldOnLine.size(), 113);
    for (const FieldSpec& field : SettingsFields()) {
        EditSettings changed;
        SetField(changed, field, GetField(EveryFieldChanged(), field));
        if (GetField(changed, field) == field.defaultValue)  // the empty logo path
            SetField(changed, field, QStringLiteral("changed"));
        const QStringList lines = SplitSettingsLines(WriteSettingsText(changed));
        ASSERT_EQ(lines.size(), defaults.size());
        QStringList differing;
        for (int i = 0; i < defaults.size(); ++i)
            if (lines.at(i) != defaults.at(i)) differing << fieldOnLine.at(i);
        ASSERT_FALSE(differing.isEmpty()) << field.name;
        EXPECT_EQ(differing.count(QString(field.name)), differing.size())
            << differing.join(" ").toStdString();
    }
}

TEST(SettingsText, NumbersAreWrittenAsTheGeneralFormatWithAPoint) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, const char*> cases[] = {
        {80.f, "80.0"},         {0.f, "0.0"},
        {-0.f, "-0.0"},         {0.2f, "0.2"},
        {-0.25f, "-0.25"},      {0.71f, "0.71"},
        {100000.f, "100000.0"}, {1e6f, "1e+06"},
        {1e-5f, "1e-05"},       {1234567.f, "1.23457e+06"},
        {std::nanf(""), "nan"}, {-std::nanf(""), "nan"},
        {inf, "inf"},           {-inf, "-inf"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(FloatText(value), text) << value;
    EXPECT_EQ(ColorComponentText(1.0), "1.0");
    EXPECT_EQ(ColorComponentText(1.0 / 3.0), "0.333333333333333");
}

TEST(SettingsText, RoundTripsEveryField) {
    const EditSettings changed = EveryFieldChanged();
    // Text after the last line feed fills only the ignored 114th piece.
    const std::optional<EditSettings> back =
        ReadSettingsText(WriteSettingsText(changed) + "trailing words");
    ASSERT_TRUE(back);
    ExpectSameSettings(*back, changed);
    EditSettings fine;  // six significant digits; the colour comes back opaque
    fine.sliderGamma = 1.23456789f;
    fine.colorWellTextColor = RgbaColor{0.5, 0.25, 0.125, 0.3};
    const EditSettings read = *ReadSettingsText(WriteSettingsText(fine));
    EXPECT_EQ(read.sliderGamma, 1.23457f);
    EXPECT_EQ(read.colorWellTextColor.alpha, 1.0);
}

TEST(SettingsText, WritingIgnoresTheUsersLocale) {
    const EditSettings changed = EveryFieldChanged();
    const QString inC = WriteSettingsText(changed);
    const test::DecimalCommaLocale german;
    ASSERT_TRUE(german.active());
    EXPECT_EQ(WriteSettingsText(changed), inC);
    const std::optional<EditSettings> read = ReadSettingsText(inC);
    ASSERT_TRUE(read);
    ExpectSameSettings(*read, changed);
}

struct BadText {
    const char* why;
    std::function<QString(QString)> spoil;
};

class BadSettingsText : public ::testing::TestWithParam<BadText> {};

QString ReplaceLine(const QString& text, int line, const QString& with) {
    QStringList lines = text.split(u'\n');
    lines[line - 1] = with;
    return lines.join(u'\n');
}

TEST_P(BadSettingsText, IsRefusedWhole) {
    const QString good = WriteSettingsText(EveryFieldChanged());
    ASSERT_TRUE(ReadSettingsText(good));
    EXPECT_FALSE(ReadSettingsText(GetParam().spoil(good))) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(
    SettingsText, BadSettingsText,
    ::testing::Values(
        BadText{"113 pieces", [](QString t) { return t.chopped(1); }},
        BadText{"115 pieces", [](QString t) { return t + "\n"; }},
        BadText{"CR LF line ends", [](QString t) { return t.replace("\n", "\r\n"); }},
        BadText{"a line separator inside a field",
                [](QString t) { return ReplaceLine(t, 81, QString::fromUtf8("a\u2028b")); }},
        BadText{"a bad float in line 50", [](QString t) { return ReplaceLine(t, 50, "1.0x"); }},
        BadText{"a float with a space", [](QString t) { return ReplaceLine(t, 1, " 0.5"); }},
        BadText{"a float with a comma", [](QString t) { return ReplaceLine(t, 3, "1,5"); }},
        BadText{"an empty float", [](QString t) { return ReplaceLine(t, 109, ""); }},
        BadText{"font index 25", [](QString t) { return ReplaceLine(t, 85, "25"); }},
        BadText{"format index 12", [](QString t) { return ReplaceLine(t, 108, "12"); }},
        BadText{"position index -2", [](QString t) { return ReplaceLine(t, 91, "-2"); }},
        BadText{"check box state 2", [](QString t) { return ReplaceLine(t, 10, "2"); }},
        BadText{"check box state 1.0", [](QString t) { return ReplaceLine(t, 11, "1.0"); }},
        BadText{"integer beyond 64 bits",
                [](QString t) { return ReplaceLine(t, 85, "99999999999999999999"); }},
        BadText{"a colour that is no number", [](QString t) { return ReplaceLine(t, 83, "red"); }},
        BadText{"an empty text", [](QString) { return QString(); }}));

}  // namespace
}  // namespace lumetra
