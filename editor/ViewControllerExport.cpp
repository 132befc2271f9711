// SPDX-License-Identifier: GPL-3.0-or-later
// The export controls: format, quality, output size, keep aspect and keep
// EXIF. None of them changes the preview, so none renders; each records the
// settings in the history at once instead.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/Export.h"

namespace lumetra {

void ViewController::OnFormatSelected() {
    sliderQuality->setEnabled(FormatTakesQuality(comboFormat->currentIndex()));
    SaveCurrentState();
}

void ViewController::OnQualityChanged() {
    labelQuality->setText(QualityLabelText(sliderQuality->floatValue()));
    SaveCurrentState();
}

void ViewController::ApplyKeepAspect(bool fromWidth) {
    if (!imageView->hasImage()) return;
    if (checkKeepAspect->checkState() == Qt::Checked) {
        const float ratio = OutputAspectRatio(imageView->image().size(), originalImageSize);
        QString width = textFieldWidth->text();
        QString height = textFieldHeight->text();
        // A partner that is no finite whole number within range (a typed
        // 1e30) leaves the other field as it was.
        KeepAspectStep(&width, &height, ratio, fromWidth);
        (fromWidth ? textFieldHeight : textFieldWidth)->setText(fromWidth ? height : width);
    }
    SaveCurrentState();
}

void ViewController::OnWidthChanged() {
    ApplyKeepAspect(true);
}
void ViewController::OnHeightChanged() {
    ApplyKeepAspect(false);
}

void ViewController::OnKeepAspectChecked() {
    if (checkKeepAspect->checkState() != Qt::Checked)
        dialogs_->Alert(this,
                        QStringLiteral("NOTE: Deactivating this option can result in a distorted "
                                       "output image."),
                        Dialogs::AlertStyle::Informational);
    SaveCurrentState();
}

void ViewController::OnResetWidthHeight() {
    float width = 0.f;
    float height = 0.f;
    if (ParseFloatText(textFieldWidth->text(), &width) &&
        width == float(originalImageSize.width()) &&
        ParseFloatText(textFieldHeight->text(), &height) &&
        height == float(originalImageSize.height()))
        return;
    UpdateImageSize();
    SaveCurrentState();
}

void ViewController::OnKeepExifInfoSelected() {}

}  // namespace lumetra
