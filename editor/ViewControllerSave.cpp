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
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "editor/OutputSize.h"
#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/Metadata.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

// What the save's thread is given and gives back. The window's thread
// reads the results only after the thread has finished.
struct SaveJob {
    QImage shown;
    double width = 0;
    double height = 0;
    QString path;
    int formatIndex = 0;
    double quality = 0;
    ViewController::SaveFunction save;
    QSize written;  // the saved picture's size
    bool saved = false;
};

void RunSaveJob(SaveJob* job) {
    try {
        const QImage picture = DrawAtOutputSize(job->shown, job->width, job->height);
        job->written = picture.size();
        job->saved =
            !picture.isNull() && job->save(picture, job->path, job->formatIndex, job->quality);
    } catch (...) {
        job->saved = false;  // out of memory: reported as a failed save
    }
}

}  // namespace

void ViewController::OnSaveImage() {
    // One save at a time. Input is held off while a save runs; a call that
    // comes all the same (from a script) is ignored.
    if (isSaving()) return;
    const QString extension = comboFormat->currentText().toLower();
    const std::optional<QString> chosen =
        ChooseSavePath(tr("Save Image"),
                       originalImageName + QStringLiteral("_processed.") + extension, extension);
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

    // Drawing at the output size, encoding and writing run on a thread of
    // their own while this one waits with the user's input held off.
    SaveJob job;
    job.shown = imageView->image();
    job.width = width;
    job.height = height;
    job.path = path;
    job.formatIndex = comboFormat->currentIndex();
    job.quality = double(sliderQuality->floatValue() / 100.f);
    job.save = saveFunction_;
    saveCommand_.Run([&job] { RunSaveJob(&job); });
    const bool saved = job.saved;

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
    progressIndicator->setVisible(wasVisible || updating());
    if (saved) {
        emit statusMessage(tr("Saved %1 (%2 × %3 pixels)")
                               .arg(target.fileName())
                               .arg(job.written.width())
                               .arg(job.written.height()));
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
