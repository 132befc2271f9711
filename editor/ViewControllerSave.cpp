// SPDX-License-Identifier: GPL-3.0-or-later
// The save command: the output size agreed with the aspect ratio, the shown
// result drawn at that size, encoded and written, and optionally the
// source's EXIF data and date carried over.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QProgressBar>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editor/OutputSize.h"
#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/Metadata.h"
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

    // Saving over the source would replace the properties the carry-over
    // is asked to keep: take a copy of the source file first.
    const bool keepExif = checkKeepExifInfo->checkState() == Qt::Checked;
    QTemporaryDir keptSource;
    QString propertiesFrom = originalImagePath;
    QDateTime sourceDate;
    const bool overSource = target.exists() && QFileInfo(originalImagePath).exists() &&
                            target.canonicalFilePath() ==
                                QFileInfo(originalImagePath).canonicalFilePath();
    if (keepExif && overSource && keptSource.isValid()) {
        const QString copy = keptSource.filePath(QStringLiteral("source"));
        if (QFile::copy(originalImagePath, copy)) {
            propertiesFrom = copy;
            sourceDate = ImageTools::ImageCreationDateWithPath(originalImagePath);
        }
    }

    const QImage picture = DrawAtOutputSize(imageView->image(), width, height);
    const double quality = double(sliderQuality->floatValue() / 100.f);
    const bool saved = !picture.isNull() &&
                       ImageTools::SaveImage(picture, path, comboFormat->currentIndex(), quality);
    if (saved && keepExif) {
        if (propertiesFrom == originalImagePath) {
            ImageTools::ChangeImageExifWithOriginalImagePath(originalImagePath, path);
        } else if (CopyImageProperties(propertiesFrom, path) != PropertiesCopy::Failed &&
                   !SetFileDate(path, sourceDate)) {
            std::fputs("ERROR\n", stdout);
            std::fflush(stdout);
        }
    }

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
