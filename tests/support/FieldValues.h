// SPDX-License-Identifier: GPL-3.0-or-later
// A value for each field of the settings table that differs from its
// default and that its control can hold.
#pragma once

#include <cmath>

#include "settings/SettingsFields.h"

namespace lumetra::test {

// The other end of a range, the other state of a box that starts on (the
// mixed one of a box that starts off), another item, a text, a colour.
inline FieldValue ChangedValue(const FieldSpec& field) {
    const FieldValue& def = field.defaultValue;
    if (const float* f = std::get_if<float>(&def))
        return *f == field.maximum ? field.minimum : field.maximum;
    if (const int* i = std::get_if<int>(&def))
        return field.kind == FieldKind::CheckBox ? (*i == 1 ? 0 : -1) : (*i == 2 ? 3 : 2);
    if (std::holds_alternative<QString>(def)) return QStringLiteral("changed");
    return RgbaColor{0.1, 0.2, 0.3, 1.0};
}

inline bool SameFieldValue(const FieldValue& a, const FieldValue& b) {  // NaN equal to NaN
    const float* fa = std::get_if<float>(&a);
    const float* fb = std::get_if<float>(&b);
    return fa && fb ? (std::isnan(*fa) && std::isnan(*fb)) || *fa == *fb : a == b;
}

inline EditSettings EveryFieldChanged() {
    EditSettings s;
    for (const FieldSpec& field : SettingsFields()) SetField(s, field, ChangedValue(field));
    return s;
}

}  // namespace lumetra::test
