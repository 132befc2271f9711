// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/RenderWorker.h"

#include <utility>

namespace lumetra {

RenderWorker::~RenderWorker() {
    Stop();
}

void RenderWorker::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_ = nullptr;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void RenderWorker::Submit(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        pending_ = std::move(job);
        if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    }
    wake_.notify_one();
}

void RenderWorker::Loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_) return;
        std::function<void()> job = std::exchange(pending_, nullptr);
        lock.unlock();
        job();
        job = nullptr;  // whatever the job held goes before the lock is taken again
        lock.lock();
    }
}

}  // namespace lumetra
