// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/RenderScheduler.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <utility>

#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/RenderPipeline.h"

namespace lumetra {

// What one job of the worker is given and what it gives back. The worker
// takes its inputs under the mutex, lets go of everything it used, and only
// then puts its result in under the mutex; the owner's thread takes the
// result under the mutex. So everything the worker touched (the settings'
// strings it shares with the panel, the logo's pixels, the result's pixels)
// is ordered before what the owner does next by a lock every thread checker
// understands. The stop request is an atomic the owner may raise at any
// time.
struct RenderHandOver {
    std::mutex mutex;
    RenderInputs inputs;
    RenderScheduler::PreviewFunction preview;  // set for a preview job
    PreviewSource source;
    double displayScale = 1.0;  // of the full result's display copy
    RenderResult result;
    std::atomic<bool> stop{false};
};

namespace {

void RunJob(RenderHandOver* handOver) {
    RenderResult result;
    {
        RenderInputs inputs;
        RenderScheduler::PreviewFunction preview;
        PreviewSource source;
        double displayScale = 1.0;
        {
            const std::lock_guard lock(handOver->mutex);
            inputs = std::move(handOver->inputs);
            preview = std::move(handOver->preview);
            source = std::move(handOver->source);
            displayScale = handOver->displayScale;
        }
        try {
            const StopScope stopScope(&handOver->stop);
            result = preview ? preview(source, inputs.settings, inputs.logo)
                             : inputs.render(inputs.path, inputs.settings, inputs.logo);
            // The full result at the size the view shows it, made here on
            // every core rather than by the window.
            if (!preview && result.ok() && displayScale < 1.0 && !StopRequested()) {
                const QImage& full = result.image;
                result.display =
                    ImageTools::ResizeImage(Image::FromQImage(full),
                                            std::max(1.0, std::round(full.width() * displayScale)),
                                            std::max(1.0, std::round(full.height() * displayScale)))
                        .toQImage();
            }
        } catch (...) {
            // An exception must not end the worker thread (and the program):
            // the job ends without a result, the picture on show stays.
            result = RenderResult();
            result.error = QStringLiteral("The image could not be rendered.");
        }
    }  // the worker's settings, path, logo and copy go here, before the result is handed over
    const std::lock_guard lock(handOver->mutex);
    handOver->result = std::move(result);
}

}  // namespace

RenderResult RenderPreview(const PreviewSource& source, const EditSettings& settings,
                           const Image& logo) {
    RenderResult result;
    try {
        RenderControl control;
        control.scale = source.scale;
        const Image rendered = RenderPipeline(source.picture, settings, logo, control);
        result.image = rendered.toQImage();
    } catch (const std::bad_alloc&) {
        result.error = QStringLiteral("Not enough memory to render the preview.");
    }
    return result;
}

RenderScheduler::RenderScheduler(Gather gather, QObject* parent)
    : QObject(parent), gather_(std::move(gather)), previewFunction_(&RenderPreview) {
    connect(&done_, &WakeUp::ready, this, &RenderScheduler::OnWorkerDone);
}

RenderScheduler::~RenderScheduler() {
    // The worker's job refers to done_: the thread is joined here, while
    // every member still exists, whatever their order.
    if (handOver_) handOver_->stop = true;
    worker_.Stop();
}

void RenderScheduler::SetPreviewSource(PreviewSource source, PreviewSource thumbnails) {
    preview_ = source.ok() ? std::move(source) : PreviewSource();
    thumbnailSource_ = thumbnails.picture.isEmpty() || !(thumbnails.scale > 0.0)
                           ? PreviewSource()
                           : std::move(thumbnails);
    thumbnails_.clear();
}

void RenderScheduler::RequestThumbnail(const QString& key, const EditSettings& settings,
                                       const Image& logo) {
    if (thumbnailSource_.picture.isEmpty()) return;
    std::erase_if(thumbnails_, [&](const ThumbnailRequest& r) { return r.key == key; });
    thumbnails_.push_back({key, settings, logo});
    if (running_ == Job::None) StartNext();
}

void RenderScheduler::Request() {
    fullWanted_ = true;
    if (preview_.ok()) previewWanted_ = true;
    switch (running_) {
        case Job::None:
            StartNext();
            break;
        case Job::Full:
            // Its result would be dropped: it stops early, so that the
            // preview of this request gets every core and the next full
            // pass starts sooner.
            if (handOver_) handOver_->stop = true;
            break;
        case Job::Preview:
        case Job::Thumbnail:
            break;  // the newest request is rendered next
    }
}

void RenderScheduler::DiscardRunning() {
    previewWanted_ = false;
    fullWanted_ = false;
    preview_ = PreviewSource();
    thumbnailSource_ = PreviewSource();
    thumbnails_.clear();
    if (running_ == Job::None) return;
    discard_ = true;
    if (handOver_) handOver_->stop = true;
}

void RenderScheduler::StartNext() {
    if (running_ != Job::None) return;
    const bool preview = previewWanted_ && preview_.ok();
    if (!preview && !fullWanted_) {
        StartThumbnail();
        return;
    }
    std::optional<RenderInputs> inputs = gather_();
    if (!inputs) {  // nothing to render
        previewWanted_ = false;
        fullWanted_ = false;
        return;
    }
    auto handOver = std::make_shared<RenderHandOver>();
    {
        const std::lock_guard lock(handOver->mutex);
        handOver->inputs = std::move(*inputs);
        if (preview) {
            handOver->preview = previewFunction_;
            handOver->source = preview_;
        } else if (preview_.ok()) {
            handOver->displayScale = preview_.scale;
        }
    }
    if (preview) {
        previewWanted_ = false;
        running_ = Job::Preview;
    } else {
        fullWanted_ = false;
        running_ = Job::Full;
    }
    handOver_ = handOver;
    worker_.Submit([this, handOver] {
        RunJob(handOver.get());
        done_.Notify();
    });
    if (running_ == Job::Full) emit passStarted();
}

void RenderScheduler::StartThumbnail() {
    if (thumbnails_.empty() || thumbnailSource_.picture.isEmpty()) return;
    ThumbnailRequest request = std::move(thumbnails_.front());
    thumbnails_.erase(thumbnails_.begin());
    auto handOver = std::make_shared<RenderHandOver>();
    {
        const std::lock_guard lock(handOver->mutex);
        handOver->inputs.settings = std::move(request.settings);
        handOver->inputs.logo = std::move(request.logo);
        handOver->preview = previewFunction_;
        handOver->source = thumbnailSource_;
    }
    running_ = Job::Thumbnail;
    runningThumbnail_ = request.key;
    handOver_ = handOver;
    worker_.Submit([this, handOver] {
        RunJob(handOver.get());
        done_.Notify();
    });
}

void RenderScheduler::OnWorkerDone() {
    if (running_ == Job::None) return;  // no job of ours is running
    RenderResult result;
    bool stopped = false;
    if (const std::shared_ptr<RenderHandOver> handOver = std::exchange(handOver_, nullptr)) {
        const std::lock_guard lock(handOver->mutex);
        result = std::move(handOver->result);
        stopped = handOver->stop.load();
    }
    const Job finished = std::exchange(running_, Job::None);
    const bool discarded = std::exchange(discard_, false);
    if (finished == Job::Thumbnail) {
        const QString key = std::exchange(runningThumbnail_, QString());
        if (!discarded && result.ok()) emit thumbnailReady(key, result.image);
        StartNext();
        return;
    }
    if (finished == Job::Preview) {
        if (!discarded && result.ok()) emit previewReady(result);
        StartNext();
        return;
    }
    if (!result.ok() && result.error.isEmpty())
        result.error = tr("The render pass ended without a result.");
    // A pass that was overtaken (one more is owed) or stopped is dropped.
    const bool overtaken = fullWanted_ || stopped;
    if (overtaken) fullWanted_ = true;
    StartNext();
    emit passFinished(result, !overtaken && !discarded);
}

}  // namespace lumetra
