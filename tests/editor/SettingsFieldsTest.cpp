// SPDX-License-Identifier: GPL-3.0-or-later
// The settings table's consistency and the small text rules of the panel.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <set>

#include "settings/SettingsFields.h"
#include "settings/SettingsText.h"
#include "editor/ViewController.h"

namespace lumetra {
namespace {

TEST(SettingsTable, CoversEveryLineOfTheTextOnce) {
    std::multiset<int> lines;
    for (const FieldSpec& field : SettingsFields()) {
        const int span = field.kind == FieldKind::ColorWell ? 3 : 1;
        for (int i = 0; i < span; ++i) lines.insert(field.line + i);
    }
    ASSERT_EQ(lines.size(), 113u);
    for (int line = 1; line <= 113; ++line) EXPECT_EQ(lines.count(line), 1u) << "line " << line;
}

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

// A settings text may hold any number; the panel's controls clamp what they
// are given to their range, and ClampToFieldRanges must leave every slider
// and stepper exactly as its control would, and every other field alone.
TEST(SettingsTable, ClampingHoldsEachRangedFieldAsItsControlDoes) {
    int ranged = 0;
    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind != FieldKind::Slider && field.kind != FieldKind::Stepper) continue;
        ++ranged;
        for (const float value : {-INFINITY, -1e30f, 1e30f, INFINITY, std::nanf("")}) {
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
            EditSettings settings;
            SetField(settings, field, value);
            ClampToFieldRanges(settings);
            const float clamped = std::get<float>(GetField(settings, field));
            EXPECT_EQ(std::bit_cast<std::uint32_t>(clamped), std::bit_cast<std::uint32_t>(shown))
                << field.name << " = " << value << ": " << clamped << " instead of " << shown;
            if (!std::isnan(value)) {
                EXPECT_EQ(clamped, value < 0 ? field.minimum : field.maximum) << field.name;
            }
            EditSettings expected;
            SetField(expected, field, shown);
            EXPECT_EQ(WriteSettingsText(settings), WriteSettingsText(expected)) << field.name;
        }
    }
    EXPECT_EQ(ranged, 32 + 8 + 16);  // sliders, watermark steppers, matrix cells
}

TEST(PanelText, MatrixCellsShowTwoDecimalsOrZero) {
    EXPECT_EQ(ViewController::FloatToFormattedString(1.f), "1.00");
    EXPECT_EQ(ViewController::FloatToFormattedString(0.25f), "0.25");
    EXPECT_EQ(ViewController::FloatToFormattedString(0.f), "0");
    EXPECT_EQ(ViewController::FloatToFormattedString(0.0004f), "0");
    EXPECT_EQ(ViewController::FloatToFormattedString(-0.0004f), "0");
    EXPECT_EQ(ViewController::FloatToFormattedString(0.001f), "0.00");
    EXPECT_EQ(ViewController::FloatToFormattedString(-0.004f), "0.00");
    EXPECT_EQ(ViewController::FloatToFormattedString(-1.5f), "-1.50");
    EXPECT_EQ(ViewController::FloatToFormattedString(2.345f), "2.35");
    // Exact ties round as "%.2f" rounds them: to the even digit.
    EXPECT_EQ(ViewController::FloatToFormattedString(0.125f), "0.12");
    EXPECT_EQ(ViewController::FloatToFormattedString(0.375f), "0.38");
    EXPECT_EQ(ViewController::FloatToFormattedString(-0.125f), "-0.12");
}

TEST(PanelText, TextFieldNumbersReadTheLeadingNumberInAnyLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may not exist; then C stays
    EXPECT_EQ(TextFieldNumber("  12.5abc"), 12.5f);
    EXPECT_EQ(TextFieldNumber("1.5"), 1.5f);
    EXPECT_EQ(TextFieldNumber("-3e2"), -300.f);
    EXPECT_EQ(TextFieldNumber("0x10"), 16.f);
    EXPECT_EQ(TextFieldNumber("abc"), 0.f);
    EXPECT_EQ(TextFieldNumber(""), 0.f);
    EXPECT_TRUE(std::isinf(TextFieldNumber("inf")));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(PanelText, WholeNumbersParseStrictly) {
    float v = 0.f;
    EXPECT_TRUE(ParseFloatText("400", &v));
    EXPECT_EQ(v, 400.f);
    EXPECT_TRUE(ParseFloatText("-0.25", &v));
    EXPECT_TRUE(ParseFloatText("nan", &v));
    EXPECT_TRUE(std::isnan(v));
    EXPECT_TRUE(ParseFloatText("-inf", &v));
    EXPECT_FALSE(ParseFloatText("", &v));
    EXPECT_FALSE(ParseFloatText(" 400", &v));
    EXPECT_FALSE(ParseFloatText("400 ", &v));
    EXPECT_FALSE(ParseFloatText("400px", &v));
    EXPECT_FALSE(ParseFloatText(QString::fromUtf8("４00"), &v));
}

TEST(PanelText, QualityLabelShowsTheWholePartNeverBelowOne) {
    EXPECT_EQ(QualityLabelText(1.f), "1");
    EXPECT_EQ(QualityLabelText(0.f), "1");
    EXPECT_EQ(QualityLabelText(37.9f), "37");
    EXPECT_EQ(QualityLabelText(100.f), "100");
    EXPECT_EQ(QualityLabelText(std::nanf("")), "1");
}

}  // namespace
}  // namespace lumetra
