// SPDX-License-Identifier: GPL-3.0-or-later
// Named references from the controller to the panel's controls. Each outlet
// is a member that reads like a pointer to its widget and registers itself
// under its name, so the panel can be built from the settings table and
// every control still be reached as `sliderBrightness` in the handlers.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <string_view>

namespace lumetra {

class OutletTable {
  public:
    void Register(std::string_view name, QWidget** slot) {
        slots_.emplace(std::string(name), slot);
    }
    // Connects the outlet of that name to the widget; false when none has it.
    bool Bind(std::string_view name, QWidget* widget) {
        const auto it = slots_.find(std::string(name));
        if (it == slots_.end()) return false;
        *it->second = widget;
        return true;
    }
    QWidget* Find(std::string_view name) const {
        const auto it = slots_.find(std::string(name));
        return it == slots_.end() ? nullptr : *it->second;
    }
    std::size_t size() const { return slots_.size(); }

  private:
    std::map<std::string, QWidget**, std::less<>> slots_;
};

// Owns the outlet table. A class that declares outlets derives from it:
// bases are built before any member, so every outlet finds the table ready
// whatever the order in which the members are declared.
class OutletHost {
  protected:
    OutletTable outlets_;
};

template <class W>
class Outlet {
  public:
    Outlet(OutletTable& table, std::string_view name) { table.Register(name, &widget_); }
    Outlet(const Outlet&) = delete;
    Outlet& operator=(const Outlet&) = delete;

    W* get() const { return static_cast<W*>(widget_); }
    W* operator->() const { return get(); }
    operator W*() const { return get(); }

  private:
    QWidget* widget_ = nullptr;
};

}  // namespace lumetra

// Declares the outlet `name` of widget class `type` in a class derived from
// OutletHost.
#define LUMETRA_OUTLET(type, name) \
    ::lumetra::Outlet<type> name { \
        outlets_, #name            \
    }
