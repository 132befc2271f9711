// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass: at most one runs at a time on the worker; requests that
// arrive meanwhile are folded into one more pass, and the interrupted pass's
// result is never shown.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <cmath>
#include <mutex>
#include <utility>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "render/BufferPool.h"

namespace lumetra {

// What one pass's worker is given and what it gives back. The worker takes
// its inputs under the mutex, lets go of everything it used, and only then
// puts its result in under the mutex; the completion takes the result
// under the mutex. So everything the worker touched (the settings' strings
// it shares with the panel, the logo's pixels, the result's pixels) is
// ordered before what the main thread does next by a lock every thread
// checker understands, not only by Qt's own queue.
struct RenderHandOver {
    struct Inputs {
        ViewController::RenderFunction render;
        QString path;
        EditSettings settings;
        Image logo;
    };
    std::mutex mutex;
    Inputs inputs;
    RenderResult result;
};

namespace {

void RunHandedOverPass(const std::shared_ptr<RenderHandOver>& handOver) {
    RenderResult result;
    {
        RenderHandOver::Inputs inputs;
        {
            const std::lock_guard lock(handOver->mutex);
            inputs = std::move(handOver->inputs);
        }
        try {
            result = inputs.render(inputs.path, inputs.settings, inputs.logo);
        } catch (...) {
            // An exception must not end the worker thread (and the program):
            // the pass ends without a result, the preview stays.
            result = RenderResult();
            result.error = QStringLiteral("The image could not be rendered.");
        }
    }  // the worker's settings, path and logo go here, before the result is handed over
    const std::lock_guard lock(handOver->mutex);
    handOver->result = std::move(result);
}

}  // namespace

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
    auto handOver = std::make_shared<RenderHandOver>();
    {
        const std::lock_guard lock(handOver->mutex);
        handOver->inputs = {renderFunction_, originalImagePath, CurrentSettings(), logo};
    }
    handOver_ = handOver;
    // The completion runs on the window's thread, woken by the worker. The
    // controller outlives the worker's every job (its destructor joins the
    // worker first), and a wake-up still pending when it goes is dropped
    // with it.
    renderWorker_.Submit([this, handOver] {
        RunHandedOverPass(handOver);
        passDone_.Notify();
    });
    emit renderPassStarted();
}

void ViewController::OnRenderPassCompleted() {
    if (!updating) return;  // no pass of ours is running
    RenderResult result;
    if (const std::shared_ptr<RenderHandOver> handOver = std::exchange(handOver_, nullptr)) {
        const std::lock_guard lock(handOver->mutex);
        result = std::move(handOver->result);
    }
    if (!result.ok() && result.error.isEmpty())
        result.error = tr("The render pass ended without a result.");
    updating = false;
    const bool discard = discardRunningPass_;
    discardRunningPass_ = false;

    if (selectionChanged) {
        selectionChanged = false;
        UpdateImageEffect();
        // The size test may find nothing to render (New was chosen during
        // the pass): then no pass is running and the indicator goes.
        if (!updating) {
            progressIndicator->setVisible(isSaving());  // a running save keeps it
            passTimer_.invalidate();
        }
        emit renderPassFinished();
        return;
    }

    progressIndicator->setVisible(isSaving());  // a running save keeps it
    idleRelease_.start();
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
