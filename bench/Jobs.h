// SPDX-License-Identifier: GPL-3.0-or-later
// The jobs bench_job times one at a time: decoding, whole passes, each
// per-pixel stage, each effect, the text watermark and each save format.
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

namespace lumetra::bench {

// One timed job. prepare() builds everything the job needs but must not be
// timed (its input picture, settings, a target file) and returns the work
// itself, which is then timed alone.
struct Job {
    const char* name;
    const char* description;
    std::function<std::function<void()>()> prepare;
};

// Every job, in the order the comparison table lists them.
const std::vector<Job>& AllJobs();

// Lets go of the last job's result (after its timing has stopped).
void ForgetResult();

// The size of the file the last save job wrote, -1 before any.
qint64& SavedFileBytes();

}  // namespace lumetra::bench
