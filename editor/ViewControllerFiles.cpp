// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a source picture (dialog or drop) and choosing the logo.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/Export.h"
#include "files/ImageReader.h"
#include "settings/SettingsText.h"

namespace lumetra {
namespace {

const QString kCouldNotLoad = QStringLiteral("The image could not be loaded.");

}  // namespace

std::optional<QString> ViewController::ChooseSavePath(const QString& title,
                                                      const QString& proposedName,
                                                      const QString& extension) {
    const Dialogs::FileChoice choice =
        dialogs_->ChooseFileToSave(this, title, proposedName, extension);
    if (!choice.accepted || choice.path.isEmpty()) return std::nullopt;
    // A name typed with another format's extension gets this one's added;
    // the dialog asked about replacing the name as typed, so a file under
    // the new name is asked about here.
    const QString path = PathWithExtension(choice.path, extension);
    if (path != choice.path && QFileInfo::exists(path) &&
        !dialogs_->AskYesNo(this, tr("A file named “%1” already exists. Do you want to replace it?")
                                      .arg(QFileInfo(path).fileName())))
        return std::nullopt;
    return path;
}

void ViewController::OnSelectImage() {
    const Dialogs::FileChoice choice =
        dialogs_->ChooseFileToOpen(this, tr("Open Image"), imageView->acceptedTypes());
    if (!choice.accepted) return;
    if (choice.path.isEmpty()) {
        dialogs_->Alert(this, kCouldNotLoad, Dialogs::AlertStyle::Warning);
        return;
    }
    LoadOriginalImage(choice.path);
}

void ViewController::LoadOriginalImage(const QString& path) {
    if (isSaving()) return;  // the save carries the source's properties over at its end
    const ReadResult read = ReadImageFile(path);
    if (!read.ok()) {
        emit statusMessage(tr("%1: %2").arg(QFileInfo(path).fileName(), read.error));
        dialogs_->Alert(this, kCouldNotLoad, Dialogs::AlertStyle::Warning);
        return;
    }
    originalImagePath = path;
    originalImageName = NameWithoutExtension(path);
    originalImageSize = QSizeF(read.image.width(), read.image.height());
    // Whatever still renders belongs to the photo that was open before.
    scheduler_.DiscardRunning();
    imageView->setImage(read.image.toQImage());
    imageView->setComparison(QImage());
    PreparePreview(path, read.image);
    buttonSaveImage->setEnabled(true);
    emit saveAvailabilityChanged(true);

    // The new picture's history starts with the settings as they are now
    // (the panel is not reset); the first pass must not record them twice.
    stateImagesPath.clear();
    SaveState();
    currenState = 0;
    needToSaveState = false;
    emit historyChanged();
    emit pictureChanged();

    if (read.damaged) {
        emit statusMessage(tr("%1 is damaged (%2): showing what could be read of it")
                               .arg(QFileInfo(path).fileName(), read.damage));
    } else {
        emit statusMessage(tr("Opened %1 (%2 × %3 pixels)")
                               .arg(QFileInfo(path).fileName())
                               .arg(read.image.width())
                               .arg(read.image.height()));
    }
    UpdateImageEffect();
}

void ViewController::DragPerformed(const QVariantMap& userInfo) {
    const QVariant path = userInfo.value(QStringLiteral("path"));
    if (!path.isValid() || path.typeId() != QMetaType::QString) {
        dialogs_->Alert(this, kCouldNotLoad, Dialogs::AlertStyle::Warning);
        return;
    }
    LoadOriginalImage(path.toString());
}

void ViewController::OnSelectLogo() {
    const Dialogs::FileChoice choice =
        dialogs_->ChooseFileToOpen(this, tr("Choose Logo"), {"png", "jpg", "jpeg"});
    if (!choice.accepted || choice.path.isEmpty()) return;
    const ReadResult read = ReadImageFile(choice.path);
    if (!read.ok()) return;
    NoteUserChange();
    logo = read.image;
    textFieldImage->setText(SingleLine(QFileInfo(choice.path).fileName()));
    RenderIfOn(checkImageWatermark);
}

}  // namespace lumetra
