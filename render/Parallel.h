// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the engine spreads work over the processor's cores: a kernel
// says how its rows divide into bands, the OpenMP pool runs the bands.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace lumetra {

// Number of threads a kernel can use.
inline int WorkerThreads() {
#ifdef _OPENMP
    return omp_get_max_threads();
#else
    return 1;
#endif
}

// Sets how many threads the kernels called from this thread use (at least
// one); other threads keep theirs. lumetra-batch gives each photo rendered
// side by side its share of the cores this way.
inline void SetWorkerThreadsOfThisThread(int threads) {
#ifdef _OPENMP
    omp_set_num_threads(std::max(threads, 1));
#else
    (void)threads;
#endif
}

// The stop request of the work running on this thread, if any: set by the
// render pipeline (StopScope) so that every kernel it calls skips its
// remaining bands once the flag is raised. A kernel stopped this way leaves
// its result unfinished; the pipeline then throws the whole pass away.
inline thread_local const std::atomic<bool>* tStopRequest = nullptr;

inline bool StopRequested() {
    return tStopRequest && tStopRequest->load(std::memory_order_relaxed);
}

// Makes `stop` the stop request of the work on this thread while alive.
class StopScope {
  public:
    explicit StopScope(const std::atomic<bool>* stop) : previous_(tStopRequest) {
        tStopRequest = stop;
    }
    ~StopScope() { tStopRequest = previous_; }
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

  private:
    const std::atomic<bool>* previous_;
};

// Runs body(firstRow, endRow) over [0, rows) in bands. Small jobs run on the
// calling thread; larger ones are split into a few bands per thread and
// handed out dynamically so that uneven rows (a rotated picture's corners)
// still balance. Once the calling thread's stop request is raised, the
// bands not yet begun are skipped. body must not throw.
template <class Body>
void ParallelBands(int rows, std::int64_t workPerRow, Body&& body) {
    if (rows <= 0) return;
    const std::atomic<bool>* stop = tStopRequest;
    const int threads = WorkerThreads();
    const std::int64_t work = std::int64_t(rows) * std::max<std::int64_t>(workPerRow, 1);
    if (stop && stop->load(std::memory_order_relaxed)) return;
    if (threads <= 1 || rows < 2 || work < 65536) {
        body(0, rows);
        return;
    }
    const int bands = std::min(rows, threads * 8);
#ifdef _OPENMP
#pragma omp parallel for schedule(dynamic, 1)
#endif
    for (int b = 0; b < bands; ++b) {
        if (stop && stop->load(std::memory_order_relaxed)) continue;
        const int y0 = int(std::int64_t(rows) * b / bands);
        const int y1 = int(std::int64_t(rows) * (b + 1) / bands);
        if (y1 > y0) body(y0, y1);
    }
}

}  // namespace lumetra
