// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks that drive the real editor window share.
#pragma once

#include <stdexcept>
#include <string>

#include "editor/ViewController.h"
#include "settings/SettingsFields.h"

namespace lumetra::bench {

// The window's control for the named field, as the widget type it is.
template <class T>
T* ControlNamed(ViewController& vc, const char* name) {
    const FieldSpec* field = FindField(name);
    T* control = field ? qobject_cast<T*>(vc.Control(*field)) : nullptr;
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return control;
}

}  // namespace lumetra::bench
