// SPDX-License-Identifier: GPL-3.0-or-later
// bench_job: runs one job on the shared 24-megapixel photo and prints its
// time and the process's peak memory, for bench/compare.sh to set next to
// the same job done by other programs.
//
//   bench_job JOB [--runs N]   one line: JOB ms=... cpu_ms=... peak_mb=... [bytes=...]
//   bench_job --list           the jobs and what each does
//   bench_job --photo          writes the photo if needed, prints its path
//
// The job runs N times (2 by default) and the last run is reported: the
// earlier ones warm the caches and the engine's recycled frames, as the
// passes before it do in the editor. Loading the input is never timed; the
// peak memory is the whole process's, input included.
#include <sys/resource.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "BenchSupport.h"
#include "Jobs.h"

namespace {

using lumetra::bench::AllJobs;
using lumetra::bench::Job;

int Usage() {
    std::fprintf(stderr, "usage: bench_job JOB [--runs N] | --list | --photo\n");
    return 2;
}

// Processor time of the whole process so far (all threads), milliseconds:
// steadier than wall time on a machine that is busy with other work.
double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e3 +
           (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) * 1e-3;
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for the text watermark
    if (argc < 2) return Usage();
    const std::string first = argv[1];
    if (first == "--list") {
        for (const Job& job : AllJobs()) std::printf("%-16s %s\n", job.name, job.description);
        return 0;
    }
    if (first == "--photo") {
        std::printf("%s\n", qPrintable(lumetra::bench::PhotoJpegPath()));
        return 0;
    }
    int runs = 2;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            return Usage();
    }
    const Job* job = nullptr;
    for (const Job& candidate : AllJobs())
        if (first == candidate.name) job = &candidate;
    if (!job) {
        std::fprintf(stderr, "bench_job: no job called %s (see --list)\n", first.c_str());
        return 2;
    }
    try {
        double ms = 0.0;
        double cpuMs = 0.0;
        for (int run = 0; run < runs; ++run) {
            const std::function<void()> work = job->prepare();
            const double cpuStart = CpuMilliseconds();
            const auto start = std::chrono::steady_clock::now();
            work();
            const auto end = std::chrono::steady_clock::now();
            cpuMs = CpuMilliseconds() - cpuStart;
            ms = std::chrono::duration<double, std::milli>(end - start).count();
            lumetra::bench::ForgetResult();
        }
        std::printf("%s ms=%.1f cpu_ms=%.1f peak_mb=%.0f", job->name, ms, cpuMs, PeakMegabytes());
        if (lumetra::bench::SavedFileBytes() >= 0)
            std::printf(" bytes=%lld", static_cast<long long>(lumetra::bench::SavedFileBytes()));
        std::printf("\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_job: %s failed: %s\n", job->name, e.what());
        return 1;
    }
    return 0;
}
