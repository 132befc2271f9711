// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/widgets/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace lumetra {

Stepper::Stepper(QWidget* parent) : QWidget(parent) {
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up, down}) {
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(400);
        button->setAutoRepeatInterval(60);
        button->setFixedSize(18, 12);
        button->setFocusPolicy(Qt::NoFocus);
    }
    up->setAccessibleName(tr("Increase"));
    down->setAccessibleName(tr("Decrease"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up);
    layout->addWidget(down);
    connect(up, &QToolButton::clicked, this, &Stepper::stepUp);
    connect(down, &QToolButton::clicked, this, &Stepper::stepDown);
}

void Stepper::setRange(float minimum, float maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    setFloatValue(value_);
}

void Stepper::setFloatValue(float value) {
    if (!std::isnan(value))
        value = value < minimum_ ? minimum_ : (value > maximum_ ? maximum_ : value);
    value_ = value;
}

void Stepper::stepUp() {
    stepBy(increment_);
}
void Stepper::stepDown() {
    stepBy(-increment_);
}

void Stepper::stepBy(float delta) {
    const float base = std::isnan(value_) ? 0.f : value_;
    float next = base + delta;
    // Land on the grid of increments, so that 0.01 steps from 0.25 reach an
    // exact 0 instead of a rounding residue (and never a negative zero).
    if (increment_ > 0.f) {
        const double steps = std::round(double(next) / double(increment_));
        const double snapped = steps * double(increment_);
        if (std::abs(snapped - next) < 1e-4 * double(increment_)) next = float(snapped) + 0.f;
    }
    setFloatValue(next);
    emit stepped();
}

}  // namespace lumetra
