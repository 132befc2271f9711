// SPDX-License-Identifier: GPL-3.0-or-later
// A slider that holds the exact float it is given. The track has fine
// ticks, but a value set from code or from a settings text is kept as it is
// (not rounded to a tick); setting clamps to the range and keeps NaN. The
// value is shown next to the track. Only the user's moves send moved().
#pragma once

#include <QWidget>

class QLabel;
class QSlider;

namespace lumetra {

class FloatSlider : public QWidget {
    Q_OBJECT
public:
    explicit FloatSlider(QWidget* parent = nullptr);

    float floatValue() const { return value_; }
    void setFloatValue(float value);

    float minimum() const { return minimum_; }
    float maximum() const { return maximum_; }
    void setRange(float minimum, float maximum);

    // Sets the value as if the user had dragged the track there, sending
    // moved(); for tests and keyboard handling.
    void moveTo(float value);

    // Whether the number is shown next to the track.
    void setValueVisible(bool visible);

    QSlider* track() const { return track_; }
    QString valueText() const;

signals:
    // The user moved the slider.
    void moved();

private:
    void showValue();
    int trackPosition(float value) const;

    QSlider* track_;
    QLabel* valueLabel_;
    float value_ = 0.f;
    float minimum_ = 0.f;
    float maximum_ = 1.f;
};

}  // namespace lumetra
