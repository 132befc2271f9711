// SPDX-License-Identifier: GPL-3.0-or-later
// The clamping of the settings table's ranges and the small text rules of
// the panel.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "editor/ViewController.h"
#include "settings/SettingsFields.h"
#include "settings/SettingsText.h"
#include "support/DecimalCommaLocale.h"

namespace lumetra {
namespace {

// ClampToFieldRanges leaves every slider and stepper exactly as its control
// would show the value (NaN stays NaN), and its default inside the range.
TEST(SettingsTable, ClampingHoldsEachRangedFieldAsItsControlDoes) {
    int ranged = 0;
    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind != FieldKind::Slider && field.kind != FieldKind::Stepper) continue;
        ++ranged;
        const float def = std::get<float>(field.defaultValue);
        EXPECT_TRUE(field.minimum <= def && def <= field.maximum) << field.name;
        const float inside = std::nextafter(field.maximum, field.minimum);
        for (const float value : {-INFINITY, -1e30f, 1e30f, INFINITY, std::nanf(""), inside}) {
            FloatSlider slider;
            Stepper stepper;
            slider.setRange(field.minimum, field.maximum);
            stepper.setRange(field.minimum, field.maximum);
            slider.setFloatValue(value);
            stepper.setFloatValue(value);
            const float shown =
                field.kind == FieldKind::Slider ? slider.floatValue() : stepper.floatValue();
            const float expected = std::isnan(value) || value == inside ? value
                                   : value < 0 ? field.minimum : field.maximum;
            EditSettings settings;
            SetField(settings, field, value);
            ClampToFieldRanges(settings);
            const auto bits = [](float f) { return std::bit_cast<std::uint32_t>(f); };
            EXPECT_EQ(bits(shown), bits(expected)) << field.name << " = " << value;
            EXPECT_EQ(bits(std::get<float>(GetField(settings, field))), bits(shown))
                << field.name << " = " << value;
        }
    }
    EXPECT_EQ(ranged, 32 + 8 + 16);  // sliders, watermark steppers, matrix cells
}

// "0" strictly between -0.001 and 0.001, otherwise two decimals, ties to even.
TEST(PanelText, MatrixCellsShowTwoDecimalsOrZero) {
    const std::pair<float, const char*> cases[] = {
        {1.f, "1.00"},     {0.25f, "0.25"},    {0.f, "0"},         {0.0004f, "0"},
        {-0.0004f, "0"},   {0.001f, "0.00"},   {-0.004f, "0.00"},  {-1.5f, "-1.50"},
        {2.345f, "2.35"},  {0.125f, "0.12"},   {0.375f, "0.38"},   {-0.125f, "-0.12"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(ViewController::FloatToFormattedString(value), text) << value;
}

TEST(PanelText, TextFieldNumbersReadTheLeadingNumberInAnyLocale) {
    const test::DecimalCommaLocale german;
    ASSERT_TRUE(german.active());
    const std::pair<const char*, float> cases[] = {
        {"  12.5abc", 12.5f}, {"1.5", 1.5f}, {"1,5", 1.f}, {"-3e2", -300.f},
        {"0x10", 16.f},       {"abc", 0.f},  {"", 0.f},    {"inf", INFINITY}};
    for (const auto& [text, number] : cases) EXPECT_EQ(TextFieldNumber(text), number) << text;
}

TEST(PanelText, WholeNumbersParseStrictly) {
    float v = 0.f;
    for (const auto& [text, number] :
         {std::pair{"400", 400.f}, {"-0.25", -0.25f}, {"-inf", -INFINITY}})
        EXPECT_TRUE(ParseFloatText(text, &v) && v == number) << text;
    EXPECT_TRUE(ParseFloatText("nan", &v) && std::isnan(v));
    for (const char* bad : {"", " 400", "400 ", "400px", "\xef\xbc\x94" "00"})
        EXPECT_FALSE(ParseFloatText(QString::fromUtf8(bad), &v)) << bad;
}

}  // namespace
}  // namespace lumetra
