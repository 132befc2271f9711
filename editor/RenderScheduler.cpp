// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/RenderScheduler.h"

#include <mutex>
#include <utility>

namespace lumetra {

// What one pass's worker is given and what it gives back. The worker takes
// its inputs under the mutex, lets go of everything it used, and only then
// puts its result in under the mutex; the completion takes the result
// under the mutex. So everything the worker touched (the settings' strings
// it shares with the panel, the logo's pixels, the result's pixels) is
// ordered before what the owner's thread does next by a lock every thread
// checker understands, not only by Qt's own queue.
struct RenderHandOver {
    std::mutex mutex;
    RenderInputs inputs;
    RenderResult result;
};

namespace {

void RunHandedOverPass(RenderHandOver* handOver);

}  // namespace

RenderScheduler::RenderScheduler(Gather gather, QObject* parent)
    : QObject(parent), gather_(std::move(gather)) {
    connect(&done_, &WakeUp::ready, this, &RenderScheduler::OnWorkerDone);
}

RenderScheduler::~RenderScheduler() {
    // The worker's job refers to done_: the thread is joined here, while
    // every member still exists, whatever their order.
    worker_.Stop();
}

void RenderScheduler::Request() {
    if (updating_) {
        selectionChanged_ = true;
        return;
    }
    std::optional<RenderInputs> inputs = gather_();
    if (!inputs) return;  // nothing to render
    updating_ = true;
    auto handOver = std::make_shared<RenderHandOver>();
    {
        const std::lock_guard lock(handOver->mutex);
        handOver->inputs = std::move(*inputs);
    }
    handOver_ = handOver;
    worker_.Submit([this, handOver] {
        RunHandedOverPass(handOver.get());
        done_.Notify();
    });
    emit passStarted();
}

void RenderScheduler::DiscardRunning() {
    if (updating_) discard_ = true;
}

void RenderScheduler::OnWorkerDone() {
    if (!updating_) return;  // no pass of ours is running
    RenderResult result;
    if (const std::shared_ptr<RenderHandOver> handOver = std::exchange(handOver_, nullptr)) {
        const std::lock_guard lock(handOver->mutex);
        result = std::move(handOver->result);
    }
    if (!result.ok() && result.error.isEmpty())
        result.error = tr("The render pass ended without a result.");
    updating_ = false;
    const bool discarded = std::exchange(discard_, false);
    if (std::exchange(selectionChanged_, false)) {
        Request();
        emit passFinished(result, false);
        return;
    }
    emit passFinished(result, !discarded);
}

namespace {

void RunHandedOverPass(RenderHandOver* handOver) {
    RenderResult result;
    {
        RenderInputs inputs;
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

}  // namespace lumetra
