// SPDX-License-Identifier: GPL-3.0-or-later
// The settings table's consistency and the small text rules of the panel.
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

TEST(SettingsTable, PairsPointAtEachOtherAndSitStepperFirst) {
    int pairs = 0;
    for (const FieldSpec& field : SettingsFields()) {
        if (!field.partner) continue;
        const FieldSpec* partner = FindField(field.partner);
        ASSERT_NE(partner, nullptr) << field.name;
        EXPECT_STREQ(partner->partner, field.name);
        if (field.kind == FieldKind::Stepper) {
            ++pairs;
            EXPECT_EQ(partner->kind, FieldKind::TextField);
            EXPECT_EQ(partner->line, field.line + 1) << field.name;
            EXPECT_EQ(TextFieldNumber(std::get<QString>(partner->defaultValue)),
                      std::get<float>(field.defaultValue))
                << field.name;
        }
    }
    EXPECT_EQ(pairs, 8 + 16);
    for (const GroupSpec& group : SettingsGroups())
        if (group.checkBox) {
            const FieldSpec* box = FindField(group.checkBox);
            ASSERT_NE(box, nullptr) << group.checkBox;
            EXPECT_EQ(box->group, group.group);
        }
}

// A settings text may hold any number; the panel's controls hold a number
// in their range exactly and clamp one outside it (NaN stays NaN), and
// ClampToFieldRanges must leave every slider and stepper exactly as its
// control would, and every other field alone.
TEST(SettingsTable, ClampingHoldsEachRangedFieldAsItsControlDoes) {
    int ranged = 0;
    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind != FieldKind::Slider && field.kind != FieldKind::Stepper) continue;
        ++ranged;
        const float def = std::get<float>(field.defaultValue);
        EXPECT_TRUE(field.minimum <= def && def <= field.maximum) << field.name;
        const float inside = std::nextafter(field.maximum, field.minimum);
        for (const float value : {-INFINITY, -1e30f, 1e30f, INFINITY, std::nanf(""), inside}) {
            float shown = 0.f;
            if (field.kind == FieldKind::Slider) {
                FloatSlider slider;
                slider.setRange(field.minimum, field.maximum);
                slider.setFloatValue(value);
                shown = slider.floatValue();
            } else {
                Stepper stepper;
                stepper.setRange(field.minimum, field.maximum);
                stepper.setFloatValue(value);
                shown = stepper.floatValue();
            }
            const float expected = std::isnan(value) || value == inside ? value
                                   : value < 0                         ? field.minimum
                                                                       : field.maximum;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(shown), std::bit_cast<std::uint32_t>(expected))
                << field.name << " = " << value << " shows " << shown;
            EditSettings settings;
            SetField(settings, field, value);
            ClampToFieldRanges(settings);
            const float clamped = std::get<float>(GetField(settings, field));
            EXPECT_EQ(std::bit_cast<std::uint32_t>(clamped), std::bit_cast<std::uint32_t>(shown))
                << field.name << " = " << value << ": " << clamped << " instead of " << shown;
            EditSettings held;
            SetField(held, field, shown);
            EXPECT_EQ(WriteSettingsText(settings), WriteSettingsText(held)) << field.name;
        }
    }
    EXPECT_EQ(ranged, 32 + 8 + 16);  // sliders, watermark steppers, matrix cells
}

// The matrix cells' text: "0" strictly between -0.001 and 0.001, otherwise
// two decimals, exact ties rounded as "%.2f" rounds them (to the even digit).
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
    EXPECT_EQ(TextFieldNumber("  12.5abc"), 12.5f);
    EXPECT_EQ(TextFieldNumber("1.5"), 1.5f);
    EXPECT_EQ(TextFieldNumber("1,5"), 1.f);
    EXPECT_EQ(TextFieldNumber("-3e2"), -300.f);
    EXPECT_EQ(TextFieldNumber("0x10"), 16.f);
    EXPECT_EQ(TextFieldNumber("abc"), 0.f);
    EXPECT_EQ(TextFieldNumber(""), 0.f);
    EXPECT_TRUE(std::isinf(TextFieldNumber("inf")));
}

TEST(PanelText, WholeNumbersParseStrictly) {
    float v = 0.f;
    EXPECT_TRUE(ParseFloatText("400", &v));
    EXPECT_EQ(v, 400.f);
    EXPECT_TRUE(ParseFloatText("-0.25", &v));
    EXPECT_TRUE(ParseFloatText("nan", &v));
    EXPECT_TRUE(std::isnan(v));
    EXPECT_TRUE(ParseFloatText("-inf", &v));
    for (const char* bad : {"", " 400", "400 ", "400px", "\xef\xbc\x94" "00"})
        EXPECT_FALSE(ParseFloatText(QString::fromUtf8(bad), &v)) << bad;
}

}  // namespace
}  // namespace lumetra
