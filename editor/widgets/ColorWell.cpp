// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/widgets/ColorWell.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <algorithm>

namespace lumetra {

ColorWell::ColorWell(QWidget* parent) : QPushButton(parent) {
    setMinimumSize(48, 24);
    setAccessibleName(tr("Text colour"));
    connect(this, &QPushButton::clicked, this, &ColorWell::choose);
}

void ColorWell::setColor(const RgbaColor& color) {
    color_ = color;
    update();
}

void ColorWell::choose() {
    if (!chooser_) return;
    const std::optional<RgbaColor> chosen = chooser_(color_);
    if (!chosen) return;
    // The text colour is opaque: its opacity is a setting of its own.
    RgbaColor opaque = *chosen;
    opaque.alpha = 1.0;
    setColor(opaque);
    emit colorChanged();
}

void ColorWell::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    // A checkerboard under the swatch shows a translucent colour as such.
    const int cell = 5;
    for (int y = swatch.top(); y <= swatch.bottom(); y += cell)
        for (int x = swatch.left(); x <= swatch.right(); x += cell) {
            const bool dark = ((x - swatch.left()) / cell + (y - swatch.top()) / cell) % 2;
            painter.fillRect(QRect(x, y, cell, cell).intersected(swatch),
                             dark ? QColor(200, 200, 200) : Qt::white);
        }
    const auto unit = [](double v) { return float(v > 0.0 ? (v < 1.0 ? v : 1.0) : 0.0); };
    QColor c;
    c.setRgbF(unit(color_.red), unit(color_.green), unit(color_.blue), unit(color_.alpha));
    painter.fillRect(swatch, c);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

}  // namespace lumetra
