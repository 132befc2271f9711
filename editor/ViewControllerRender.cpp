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
#include "render/BufferPool.h"

namespace lumetra {

void ViewController::UpdateImageEffect() { scheduler_.Request(); }

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

void ViewController::OnRenderPassCompleted(const RenderResult& result, bool shown) {
    if (!shown && updating()) {
        // Overtaken by a newer request, whose pass is already running.
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
        imageView->setImage(result.image);
        UpdateImageSize();
        RecordPassState();
        QString message = tr("Rendered %1 × %2 pixels in %3 ms")
                              .arg(result.image.width())
                              .arg(result.image.height())
                              .arg(elapsed);
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
