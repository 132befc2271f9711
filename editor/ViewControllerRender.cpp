// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass: at most one runs at a time on the worker; requests that
// arrive meanwhile are folded into one more pass, and the interrupted pass's
// result is never shown.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "render/BufferPool.h"

namespace lumetra {

void ViewController::UpdateImageEffect() {
    if (updating) {
        selectionChanged = true;
        return;
    }
    updating = true;
    const QSize shown = imageView->image().size();
    if (shown.width() < 1 || shown.height() < 1) {
        updating = false;
        return;
    }
    progressIndicator->setVisible(true);
    if (!passTimer_.isValid()) {
        passTimer_.start();
        emit statusMessage(tr("Rendering…"));
    }

    // The worker gets its own copy of everything it reads: the settings as
    // they are now, the source path and the logo.
    const EditSettings settings = CurrentSettings();
    const QString path = originalImagePath;
    const Image logoImage = logo;
    const RenderFunction render = renderFunction_;
    renderWatcher_.setFuture(QtConcurrent::run(
        &renderPool_, [render, path, settings, logoImage] { return render(path, settings, logoImage); }));
    emit renderPassStarted();
}

void ViewController::OnRenderPassCompleted() {
    if (!updating) return;  // no pass of ours is running
    const QFuture<RenderResult> future = renderWatcher_.future();
    RenderResult result;
    if (future.resultCount() > 0) result = future.result();
    else result.error = tr("The render pass ended without a result.");
    updating = false;
    const bool discard = discardRunningPass_;
    discardRunningPass_ = false;

    if (selectionChanged) {
        selectionChanged = false;
        UpdateImageEffect();
        // The size test may find nothing to render (New was chosen during
        // the pass): then no pass is running and the indicator goes.
        if (!updating) {
            progressIndicator->setVisible(false);
            passTimer_.invalidate();
        }
        emit renderPassFinished();
        return;
    }

    progressIndicator->setVisible(false);
    const qint64 elapsed = passTimer_.isValid() ? passTimer_.elapsed() : 0;
    passTimer_.invalidate();
    if (discard) {
        // The picture this pass rendered has been put away (New).
    } else if (!result.ok()) {
        // The preview stays as it was; the user learns why nothing changed.
        emit statusMessage(result.error);
    } else {
        imageView->setImage(result.image);
        UpdateImageSize();
        SaveCurrentState();
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
