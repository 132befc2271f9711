// SPDX-License-Identifier: GPL-3.0-or-later
// A small up/down control holding a float, with a minimum, a maximum and an
// increment. A value set from code is clamped to the range (NaN is kept) and
// sends nothing; the user's clicks step the value and send stepped().
#pragma once

#include <QWidget>

namespace lumetra {

class Stepper : public QWidget {
    Q_OBJECT
  public:
    explicit Stepper(QWidget* parent = nullptr);

    float floatValue() const { return value_; }
    void setFloatValue(float value);

    void setRange(float minimum, float maximum);
    float minimum() const { return minimum_; }
    float maximum() const { return maximum_; }
    void setIncrement(float increment) { increment_ = increment; }
    float increment() const { return increment_; }

    // One click on the up or down arrow, as the user makes it.
    void stepUp();
    void stepDown();

  signals:
    void stepped();

  private:
    void stepBy(float delta);

    float value_ = 0.f;
    float minimum_ = 0.f;
    float maximum_ = 100.f;
    float increment_ = 1.f;
};

}  // namespace lumetra
