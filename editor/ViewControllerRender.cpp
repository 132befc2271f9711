// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass as the window sees it: a request hands the panel's
// settings to the scheduler, which runs at most one pass at a time and folds
// the requests that arrive meanwhile into one more; the result of a pass
// that was overtaken is never shown.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <cmath>
#include <utility>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "files/ImageReader.h"
#include "render/BufferPool.h"
#include "render/ImageTools.h"

namespace lumetra {

void ViewController::UpdateImageEffect() {
    scheduler_.Request();
}

std::optional<RenderInputs> ViewController::GatherRenderInputs() {
    // Nothing is rendered while no picture is shown (after New, or before
    // any photo is opened).
    const QSize shown = imageView->image().size();
    if (shown.width() < 1 || shown.height() < 1) return std::nullopt;
    // The worker gets its own copy of everything it reads: the settings as
    // they are now, the source path and the logo.
    return RenderInputs{renderFunction_, originalImagePath, CurrentSettings(), logo};
}

void ViewController::OnRenderPassStarted() {
    progressIndicator->setVisible(true);
    if (!passTimer_.isValid()) {
        passTimer_.start();
        emit statusMessage(tr("Rendering…"));
    }
    emit renderPassStarted();
}

void ViewController::OnPreviewReady(const RenderResult& result) {
    imageView->setPreview(result.image);
    emit statusMessage(tr("Preview %1 × %2 shown; the full-resolution result follows…")
                           .arg(result.image.width())
                           .arg(result.image.height()));
    emit previewShown();
}

void ViewController::PreparePreview(const QString& path, const Image& full) {
    // A reduced copy as large as the view shows the photo at fit zoom, on
    // this screen; none for a photo no larger than that, or one whose
    // reduced decode fails or is damaged (its passes render as they always
    // did).
    const double scale = livePreview_ ? viewport::PreviewScale(full.width(), full.height(),
                                                               Viewport(), devicePixelRatioF())
                                      : 1.0;
    PreviewSource source;
    if (scale < 1.0) {
        source.picture = ReadReducedCopy(path, full, scale);
        source.scale = double(source.picture.width()) / double(full.width());
    }
    if (source.ok()) {
        originalPicture_ = source.picture.toQImage();
    } else if (scale < 1.0) {
        originalPicture_ = ImageTools::ResizeImage(full, std::round(full.width() * scale),
                                                   std::round(full.height() * scale))
                               .toQImage();
    } else {
        originalPicture_ = imageView->image();
    }
    // The looks' thumbnails render from the photo at their own small size.
    PreviewSource thumbnails;
    if (!originalPicture_.isNull()) {
        const Image original = Image::FromQImage(originalPicture_);
        const double factor =
            std::min(1.0, double(RenderScheduler::kThumbnailWidth) / double(original.width()));
        thumbnails.picture = Image::FromQImage(
            ImageTools::ResizeImage(original, std::max(1.0, std::round(original.width() * factor)),
                                    std::max(1.0, std::round(original.height() * factor)))
                .toQImage());
        thumbnails.scale = double(thumbnails.picture.width()) / double(full.width());
    }
    scheduler_.SetPreviewSource(source, thumbnails);
}

void ViewController::Compare(bool show) {
    if (show && imageView->hasImage() && !imageView->image().isNull() &&
        !originalPicture_.isNull()) {
        imageView->setComparison(originalPicture_);
        emit statusMessage(tr("Showing the original photo"));
    } else if (imageView->showsComparison()) {
        imageView->setComparison(QImage());
        emit statusMessage(tr("Showing the result"));
    }
}

void ViewController::OnRenderPassCompleted(const RenderResult& result, bool shown) {
    if (!shown && updating()) {
        // Overtaken by a newer request, whose pass is already running or
        // follows its preview (the indicator shows only while a full pass
        // runs).
        progressIndicator->setVisible(scheduler_.fullPassRunning() || isSaving());
        emit renderPassFinished();
        return;
    }
    progressIndicator->setVisible(isSaving());  // a running save keeps it
    idleRelease_.start();
    const qint64 elapsed = passTimer_.isValid() ? passTimer_.elapsed() : 0;
    passTimer_.invalidate();
    if (!shown) {
        // The picture this pass rendered has been put away (New).
    } else if (!result.ok()) {
        // The preview stays as it was; the user learns why nothing changed.
        emit statusMessage(result.unreadable
                               ? tr("The source image can no longer be read: %1").arg(result.error)
                               : result.error);
    } else {
        imageView->setImage(result.image, result.display);
        UpdateImageSize();
        RecordPassState();
        QString message = tr("Rendered %1 × %2 pixels in %3 ms")
                              .arg(result.image.width())
                              .arg(result.image.height())
                              .arg(elapsed);
        if (scheduler_.previewSource().ok()) message += tr(" (full resolution)");
        // A damaged source keeps saying so: the preview holds only what
        // could be decoded of it.
        if (!result.damage.isEmpty())
            message += tr(" (the file is damaged: %1)").arg(result.damage);
        emit statusMessage(message);
    }
    emit renderPassFinished();
}

void ViewController::UpdateImageSize() {
    if (!(originalImageSize.width() > 0) || !(originalImageSize.height() > 0)) {
        textFieldWidth->setText(QStringLiteral("0"));
        textFieldHeight->setText(QStringLiteral("0"));
        return;
    }
    const QSize shown = imageView->image().size();
    textFieldWidth->setText(QString::number(shown.width()));
    textFieldHeight->setText(QString::number(shown.height()));
}

}  // namespace lumetra
