// SPDX-License-Identifier: GPL-3.0-or-later
// The one background thread that runs render passes, one job at a time.
// Jobs go in and come out through a mutex and a condition variable of the
// standard library: every hand-over between the window's thread and the
// worker is one that thread checkers (ThreadSanitizer) can see, which Qt's
// thread pool, built on its own futex locks, does not offer.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace lumetra {

class RenderWorker {
  public:
    RenderWorker() = default;
    // Waits for the job that is running, drops one still waiting, and ends
    // the thread.
    ~RenderWorker();
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    // Waits for the job that is running, drops one still waiting, and ends
    // the thread; later jobs are dropped. The owner calls it before anything
    // a job refers to goes.
    void Stop();

    // Runs job on the worker thread (started on first use), after the job
    // before it. The caller makes sure no more than one is waiting.
    void Submit(std::function<void()> job);

  private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> pending_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace lumetra
