// SPDX-License-Identifier: GPL-3.0-or-later
// The save command: the output size agreed with the aspect ratio, the shown
// result drawn at that size, encoded and written on a thread of its own
// while the window waits, and optionally the source's EXIF data and date
// carried over.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/Export.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"

namespace lumetra {
void ViewController::OnSaveImage() {
    // One save at a time. Input is held off while a save runs; a call that
    // comes all the same (from a script) is ignored.
    if (isSaving()) return;
    const QString extension = FormatExtension(comboFormat->currentIndex());
    const std::optional<QString> chosen = ChooseSavePath(
        tr("Save Image"), ProcessedFileName(originalImageName, extension), extension);
    if (!chosen) return;
    const QString path = *chosen;

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

    // Drawing at the output size, encoding, writing and the carry-over of
    // the source's properties run on a thread of their own while this one
    // waits with the user's input held off.
    ExportRequest request;
    request.picture = imageView->image();
    request.width = width;
    request.height = height;
    request.path = path;
    request.formatIndex = comboFormat->currentIndex();
    request.quality = double(sliderQuality->floatValue() / 100.f);
    request.keepExif = checkKeepExifInfo->checkState() == Qt::Checked;
    request.sourcePath = originalImagePath;
    ExportResult exported;
    saveCommand_.Run([&] { exported = ExportPicture(request, saveFunction_); });
    const bool saved = exported.saved;

    QApplication::restoreOverrideCursor();
    progressIndicator->setVisible(wasVisible || updating());
    if (saved) {
        emit statusMessage(tr("Saved %1 (%2 × %3 pixels)")
                               .arg(target.fileName())
                               .arg(exported.written.width())
                               .arg(exported.written.height()));
        dialogs_->Alert(this, QStringLiteral("Image saved successfully."),
                        Dialogs::AlertStyle::Informational);
    } else {
        emit statusMessage(tr("%1 was not saved").arg(target.fileName()));
        dialogs_->Alert(this, QStringLiteral("Could not save the image."),
                        Dialogs::AlertStyle::Warning);
    }

    // What was asked for during the save.
    if (std::exchange(closeAfterSave_, false)) window()->close();
    if (std::exchange(quitAfterSave_, false)) OnAppQuit();
}

}  // namespace lumetra
