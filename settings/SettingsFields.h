// SPDX-License-Identifier: GPL-3.0-or-later
// The one description of every edit setting: its name, the kind of control
// that holds it, its default, its line in the settings text, the group it
// belongs to and the range of its control. The defaults, the resets, the
// settings text and the panel construction all read this table.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/EditSettings.h"

namespace lumetra {

enum class FieldKind { Slider, CheckBox, TextField, Stepper, ColorWell, PopUp };

// The panel's groups, in the order the panel shows them.
enum class Group {
    Adjustments,
    BlackWhite,
    Sepia,
    Cartoon,
    OilPainting,
    Vignette,
    Pixellate,
    Halftone,
    Blur,
    CircleBlur,
    FocusBlur,
    MotionBlur,
    ZoomBlur,
    Transform3D,
    Rotate,
    Swirl,
    GlassSphere,
    TextWatermark,
    ImageWatermark,
    Export,
};

using FieldMember = std::variant<float EditSettings::*, int EditSettings::*,
                                 QString EditSettings::*, RgbaColor EditSettings::*>;
using FieldValue = std::variant<float, int, QString, RgbaColor>;

struct FieldSpec {
    const char* name;  // the control's name, also the outlet's
    FieldKind kind;
    FieldMember member;  // where EditSettings keeps the value
    int line;            // line in the settings text (a colour takes three)
    Group group;
    FieldValue defaultValue;
    const char* label;    // text shown next to the control
    float minimum = 0.f;  // range of a slider or stepper
    float maximum = 0.f;
    float increment = 0.f;          // a stepper's step
    const char* partner = nullptr;  // a paired text field's stepper and back
    const char* action = nullptr;   // the controller's handler for the user's changes
};

struct GroupSpec {
    Group group;
    const char* title;
    const char* checkBox;     // the group's on/off box; null for adjustments and export
    const char* resetButton;  // outlet of the group's reset button; null when none
    const char* resetAction;  // the reset button's handler
};

// Every field in the panel's order (which differs from the text's order).
const std::vector<FieldSpec>& SettingsFields();
// The field of that name, or null.
const FieldSpec* FindField(std::string_view name);
// Fields of the settings text, ordered by line.
const std::vector<const FieldSpec*>& FieldsByLine();
// Every group with its box and reset button, in panel order.
const std::vector<GroupSpec>& SettingsGroups();
const GroupSpec& GroupOf(Group group);

// Reading and writing one field of a settings value.
FieldValue GetField(const EditSettings& settings, const FieldSpec& field);
void SetField(EditSettings& settings, const FieldSpec& field, const FieldValue& value);

// Holds every slider and stepper value to its control's range, exactly as
// the panel's controls hold a value set from code (NaN stays NaN). A settings
// text edited by hand can carry any number; the editor shows it clamped and
// renders what it shows, and lumetra-batch must render the same.
void ClampToFieldRanges(EditSettings& settings);

// The items of the three kinds of pop-up, in order.
const QStringList& FontFamilyNames();
const QStringList& PositionTitles();
const QStringList& FormatTitles();
// Items of the pop-up that holds a field (empty for other kinds).
const QStringList& PopUpItems(const FieldSpec& field);

// The text a numeric text field shows for a number set from code.
QString FormatFieldNumber(float value);

// The number of a text field's text: its leading number as the C library
// reads it in the C locale (leading white space skipped), 0 when the text
// does not start with a number.
float TextFieldNumber(const QString& text);

// A whole text read as one number the way the settings text writes them:
// decimal or hexadecimal digits with optional sign and exponent, or "nan",
// "inf"; C locale, ASCII only, no white space anywhere. False otherwise.
bool ParseFloatText(const QString& text, float* value);
// The same rules, read in double precision.
bool ParseDoubleText(const QString& text, double* value);

// The quality is saved with the formats of these indexes (the JPEG and
// JPEG 2000 families, WebP and AVIF); the others ignore it.
inline bool FormatTakesQuality(int formatIndex) {
    return (formatIndex >= 0 && formatIndex <= 4) || formatIndex == 10 || formatIndex == 11;
}

// The quality label's text: the whole part of the quality, never below 1.
QString QualityLabelText(float quality);

}  // namespace lumetra
