// SPDX-License-Identifier: GPL-3.0-or-later
// A button showing a colour swatch. Clicking it asks the chooser for a new
// colour; a chosen colour is kept and colorChanged() is sent. Setting the
// colour from code sends nothing.
#pragma once

#include <QPushButton>
#include <functional>
#include <optional>

#include "settings/EditSettings.h"

namespace lumetra {

class ColorWell : public QPushButton {
    Q_OBJECT
  public:
    using Chooser = std::function<std::optional<RgbaColor>(const RgbaColor& current)>;

    explicit ColorWell(QWidget* parent = nullptr);

    RgbaColor color() const { return color_; }
    void setColor(const RgbaColor& color);
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

    // Picks a colour as the user would (through the chooser).
    void choose();

  signals:
    void colorChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    RgbaColor color_;
    Chooser chooser_;
};

}  // namespace lumetra
