// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/widgets/FloatSlider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <cmath>

namespace lumetra {
namespace {
constexpr int kTrackSteps = 1000;
}

FloatSlider::FloatSlider(QWidget* parent) : QWidget(parent) {
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setRange(0, kTrackSteps);
    track_->setPageStep(kTrackSteps / 20);
    track_->setSingleStep(1);
    valueLabel_ = new QLabel(this);
    valueLabel_->setMinimumWidth(valueLabel_->fontMetrics().horizontalAdvance("-0000.00") + 4);
    valueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(track_, 1);
    layout->addWidget(valueLabel_);
    setFocusProxy(track_);
    // actionTriggered and sliderMoved come only from the user, never from
    // setValue, so code that sets the value sends nothing.
    connect(track_, &QSlider::sliderMoved, this, [this](int position) {
        value_ = minimum_ + (maximum_ - minimum_) * float(position) / float(kTrackSteps);
        showValue();
        emit moved();
    });
    connect(track_, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderMove) return;  // reported by sliderMoved
        const int position = track_->sliderPosition();
        value_ = minimum_ + (maximum_ - minimum_) * float(position) / float(kTrackSteps);
        showValue();
        emit moved();
    });
    showValue();
}

void FloatSlider::setRange(float minimum, float maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    setFloatValue(value_);
}

void FloatSlider::setFloatValue(float value) {
    if (!std::isnan(value)) value = value < minimum_ ? minimum_ : (value > maximum_ ? maximum_ : value);
    value_ = value;
    const QSignalBlocker block(track_);
    track_->setValue(trackPosition(value));
    showValue();
}

void FloatSlider::moveTo(float value) {
    setFloatValue(value);
    emit moved();
}

int FloatSlider::trackPosition(float value) const {
    if (std::isnan(value) || maximum_ <= minimum_) return 0;
    const double t = (double(value) - minimum_) / (double(maximum_) - minimum_);
    return int(std::lround(t * kTrackSteps));
}

QString FloatSlider::valueText() const {
    if (std::isnan(value_)) return QStringLiteral("nan");
    const double span = double(maximum_) - double(minimum_);
    const int decimals = span <= 2.0 ? 3 : (span <= 20.0 ? 2 : 1);
    return QString::number(double(value_), 'f', decimals);
}

void FloatSlider::setValueVisible(bool visible) { valueLabel_->setVisible(visible); }

void FloatSlider::showValue() { valueLabel_->setText(valueText()); }

}  // namespace lumetra
