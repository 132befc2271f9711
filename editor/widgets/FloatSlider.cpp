// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/widgets/FloatSlider.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>
#include <cmath>
#include <utility>

namespace lumetra {
namespace {
constexpr int kTrackSteps = 1000;
}

std::optional<float> ParseTypedNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return float(value);
}

FloatSlider::FloatSlider(QWidget* parent) : QWidget(parent) {
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setRange(0, kTrackSteps);
    track_->setPageStep(kTrackSteps / 20);
    track_->setSingleStep(1);
    valueLabel_ = new QLabel(this);
    valueLabel_->setMinimumWidth(valueLabel_->fontMetrics().horizontalAdvance("-0000.00") + 4);
    valueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel_->setToolTip(tr("Double-click to type a value"));
    valueLabel_->installEventFilter(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(track_, 1);
    layout->addWidget(valueLabel_);
    setFocusProxy(track_);
    // Every way the knob moves (a drag, the wheel, the arrow and page keys,
    // a click that makes it jump to the pointer) ends in one change of the
    // track's value; a value set from code is set with the track's signals
    // blocked. So each of the user's moves is told exactly once.
    connect(track_, &QSlider::valueChanged, this, [this](int position) {
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
    if (!std::isnan(value))
        value = value < minimum_ ? minimum_ : (value > maximum_ ? maximum_ : value);
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

void FloatSlider::setValueVisible(bool visible) {
    valueLabel_->setVisible(visible);
}

void FloatSlider::showValue() {
    valueLabel_->setText(valueText());
}

void FloatSlider::editValue() {
    if (editor_ || valueLabel_->isHidden() || !isEnabled()) return;
    editor_ = new QLineEdit(this);
    editor_->setAlignment(Qt::AlignRight);
    editor_->setAccessibleName(tr("Value"));
    editor_->setText(std::isnan(value_) ? QString() : QString::number(double(value_), 'g', 7));
    editor_->selectAll();
    editor_->installEventFilter(this);
    auto* row = static_cast<QHBoxLayout*>(layout());
    // The layout hands back the item that held the label; it is ours to free.
    delete row->replaceWidget(valueLabel_, editor_);
    valueLabel_->hide();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
}

void FloatSlider::closeEditor(bool apply) {
    if (!editor_) return;
    QLineEdit* editor = std::exchange(editor_, nullptr);
    const std::optional<float> typed = apply ? ParseTypedNumber(editor->text()) : std::nullopt;
    editor->removeEventFilter(this);
    delete static_cast<QHBoxLayout*>(layout())->replaceWidget(editor, valueLabel_);
    editor->hide();
    editor->deleteLater();
    valueLabel_->show();
    if (hasFocus() || editor->hasFocus()) track_->setFocus(Qt::OtherFocusReason);
    if (typed) moveTo(*typed);
}

bool FloatSlider::eventFilter(QObject* watched, QEvent* event) {
    if (watched == valueLabel_ && event->type() == QEvent::MouseButtonDblClick) {
        editValue();
        return true;
    }
    if (editor_ && watched == editor_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                closeEditor(true);
                return true;
            }
            if (key == Qt::Key_Escape) {
                closeEditor(false);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // Leaving the editor any other way keeps the value as it was.
            closeEditor(false);
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace lumetra
