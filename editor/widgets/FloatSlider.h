// SPDX-License-Identifier: GPL-3.0-or-later
// A slider that holds the exact float it is given. The track has fine
// ticks, but a value set from code or from a settings text is kept as it is
// (not rounded to a tick); setting clamps to the range and keeps NaN. The
// value is shown next to the track; a double-click on it lets the user type
// an exact value. Only the user's moves send moved(), once per move however
// the knob moved: dragged, wheeled, stepped by keys or pages, or made to
// jump to the pointer by a click.
#pragma once

#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
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
    QLabel* valueLabel() const { return valueLabel_; }
    QString valueText() const;

    // Opens the inline editor over the value, as a double-click on it does.
    // Return applies the typed number (clamped to the range) as a move of
    // the user's; Escape or leaving the editor keeps the value as it was.
    void editValue();
    // The inline editor while it is open, else null.
    QLineEdit* valueEditor() const { return editor_; }

  signals:
    // The user moved the slider.
    void moved();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showValue();
    int trackPosition(float value) const;
    void closeEditor(bool apply);

    QSlider* track_;
    QLabel* valueLabel_;
    QLineEdit* editor_ = nullptr;
    float value_ = 0.f;
    float minimum_ = 0.f;
    float maximum_ = 1.f;
};

// The number a user typed into a slider's value editor: a decimal number in
// the C locale or the user's own (a comma as decimal separator), white space
// around it allowed; nothing for anything else.
std::optional<float> ParseTypedNumber(const QString& text);

}  // namespace lumetra
