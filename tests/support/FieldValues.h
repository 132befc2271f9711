// SPDX-License-Identifier: GPL-3.0-or-later
// A value for each field of the settings table that differs from its
// default and that its control can hold.
#pragma once

#include <cmath>

#include "settings/SettingsFields.h"

namespace lumetra::test {

// The far end of a slider's or stepper's range, the other state of a box
// that starts on and the mixed state of one that starts off, another item
// of a pop-up, a text, an opaque colour.
inline FieldValue ChangedValue(const FieldSpec& field) {
    const FieldValue& def = field.defaultValue;
    if (const float* f = std::get_if<float>(&def))
        return *f == field.maximum ? field.minimum : field.maximum;
    if (const int* i = std::get_if<int>(&def))
        return field.kind == FieldKind::CheckBox ? (*i == 1 ? 0 : -1) : (*i == 2 ? 3 : 2);
    if (std::holds_alternative<QString>(def)) return QStringLiteral("changed");
    return RgbaColor{0.1, 0.2, 0.3, 1.0};
}

// Equal values of a field, NaN equal to NaN.
inline bool SameFieldValue(const FieldValue& a, const FieldValue& b) {
    const float* fa = std::get_if<float>(&a);
    const float* fb = std::get_if<float>(&b);
    if (fa && fb) return (std::isnan(*fa) && std::isnan(*fb)) || *fa == *fb;
    return a == b;
}

// Every field changed.
inline EditSettings EveryFieldChanged() {
    EditSettings s;
    for (const FieldSpec& field : SettingsFields()) SetField(s, field, ChangedValue(field));
    return s;
}

}  // namespace lumetra::test
