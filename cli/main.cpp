// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch: applies a Lumetra settings file to many photos.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "cli/BatchJob.h"
#include "cli/BatchOptions.h"
#include "render/Parallel.h"
#include "settings/SettingsText.h"

using namespace lumetra;
using namespace lumetra::batch;

namespace {

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Progress on standard error: a line per photo, and a bar when standard
// error is a terminal.
class Progress {
  public:
    explicit Progress(int total) : total_(total), terminal_(isatty(STDERR_FILENO) != 0) {}

    void Done(const QString& input, const JobResult& result) {
        std::lock_guard lock(mutex_);
        ++done_;
        if (terminal_) Print(stderr, QStringLiteral("\r\033[K"));
        const QString line = !result.ok ? QStringLiteral("FAILED %1: %2").arg(input, result.message)
                             : result.damaged
                                 ? QStringLiteral("DAMAGED %1: %2; what could be read went to %3")
                                       .arg(input, result.message, result.outputPath)
                                 : QStringLiteral("%1 -> %2").arg(input, result.outputPath);
        Print(stderr, QStringLiteral("[%1/%2] %3\n").arg(done_).arg(total_).arg(line));
        if (terminal_ && done_ < total_) {
            const int width = 30;
            const int filled = done_ * width / total_;
            Print(stderr, QStringLiteral("[%1%2] %3/%4")
                              .arg(QString(filled, u'#'), QString(width - filled, u'.'))
                              .arg(done_)
                              .arg(total_));
        }
        std::fflush(stderr);
    }

  private:
    std::mutex mutex_;
    const int total_;
    const bool terminal_;
    int done_ = 0;
};

// Qt looks into the session's runtime folder while the application starts
// (to tell whether it runs in a sandbox), and where the session has none, as
// under ssh, cron or a CI job, it warns about it on every run. The batch tool
// keeps nothing there: when XDG_RUNTIME_DIR is unset, it gives Qt a private
// empty folder for the run, made with mode 0700 and removed at the end. A
// folder the variable does name is left to Qt, which reports any real
// problem with it.
class PrivateRuntimeFolder {
  public:
    PrivateRuntimeFolder() {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
        folder_.emplace(QDir::tempPath() + QStringLiteral("/lumetra-batch-XXXXXX"));
        if (folder_->isValid()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder_->path()));
    }
    void Remove() { folder_.reset(); }

  private:
    std::optional<QTemporaryDir> folder_;
};

}  // namespace

// Ends the process once the batch is done, without tearing the application
// down: every output is already written and closed, and the teardown's only
// work is the font database's, which loads the whole font configuration
// just to release it when no text was drawn (20 to 40 ms, more than a small
// photo takes, paid by every job when GNU parallel runs one per photo).
[[noreturn]] void Finish(int status, PrivateRuntimeFolder& runtimeFolder) {
    runtimeFolder.Remove();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

int main(int argc, char** argv) {
    // Fonts and picture plug-ins, but no windows. The runtime folder outlives
    // the application object.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrivateRuntimeFolder runtimeFolder;
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("lumetra-batch"));

    QString error;
    const std::optional<Options> options = ParseOptions(app.arguments().mid(1), &error);
    if (!options) {
        Print(stderr, QStringLiteral("lumetra-batch: %1\n\n%2").arg(error, UsageText()));
        return 2;
    }
    if (options->help) {
        Print(stdout, UsageText());
        return 0;
    }
    if (options->version) {
        Print(stdout, QStringLiteral("lumetra-batch %1\n").arg(QStringLiteral(LUMETRA_VERSION)));
        return 0;
    }
    if (options->printDefaultSettings) {
        Print(stdout, WriteSettingsText(EditSettings()));
        return 0;
    }

    const std::optional<BatchPlan> plan = MakePlan(*options, &error);
    if (!plan) {
        Print(stderr, QStringLiteral("lumetra-batch: %1\n").arg(error));
        Finish(1, runtimeFolder);
    }

    // --jobs renders run at once, and the cores are shared among them
    // (WorkerThreads honours OMP_NUM_THREADS and the process's CPU set).
    const int cores = WorkerThreads();
    const int jobCount = options->jobs.value_or(
        options->inputs.size() > 1 && cores > 1
            ? DefaultJobs(options->inputs.size(),
                          LargestPixelCount(options->inputs, kSmallPhotoPixels), cores)
            : 1);
    const int threads = options->threads.value_or(std::max(1, cores / jobCount));
    QThreadPool pool;
    pool.setMaxThreadCount(jobCount);
    Progress progress(int(options->inputs.size()));
    std::atomic<int> failed{0};
    std::atomic<int> damaged{0};
    QList<QFuture<void>> jobs;
    for (qsizetype i = 0; i < options->inputs.size(); ++i) {
        const QString& input = options->inputs.at(i);
        const QString& output = plan->outputs.at(i);
        const QString& planError = plan->outputErrors.at(i);
        jobs << QtConcurrent::run(&pool, [&, input, output, planError] {
            SetWorkerThreadsOfThisThread(threads);
            JobResult result;
            if (planError.isEmpty())
                result = ProcessPhoto(*plan, input, output);
            else
                result.message = planError;
            if (!result.ok)
                ++failed;
            else if (result.damaged)
                ++damaged;
            progress.Done(input, result);
        });
    }
    for (QFuture<void>& job : jobs) job.waitForFinished();

    const int total = int(options->inputs.size());
    QString problems;
    if (damaged) problems += QStringLiteral(", %1 from damaged files").arg(damaged.load());
    if (failed) problems += QStringLiteral(", %1 failed").arg(failed.load());
    const QString where = plan->outputTemplate.isEmpty()
                              ? QStringLiteral(" to ") + plan->outputFolder
                              : QStringLiteral(" as ") + plan->outputTemplate;
    Print(stderr, QStringLiteral("lumetra-batch: %1 of %2 photos written%3%4\n")
                      .arg(total - failed)
                      .arg(total)
                      .arg(where, problems));
    // Inputs that share their name with an earlier one were given a name of
    // their own rather than replace its result.
    QString renamed;
    for (qsizetype i = 0; i < options->inputs.size() && plan->outputTemplate.isEmpty(); ++i)
        if (plan->outputs.at(i) != OutputPathFor(*plan, options->inputs.at(i)))
            renamed +=
                QStringLiteral("  %1 -> %2\n").arg(options->inputs.at(i), plan->outputs.at(i));
    if (!renamed.isEmpty())
        Print(stderr, QStringLiteral("lumetra-batch: renamed, since an earlier photo of the batch "
                                     "has the same name:\n%1")
                          .arg(renamed));
    // A result drawn from a damaged file is incomplete: scripts are told.
    Finish(failed || damaged ? 1 : 0, runtimeFolder);
}
