// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch under GNU parallel, as the manual page shows it: one input
// per job in two slots, a job killed halfway through writing its result,
// and the run resumed from parallel's job log. Every output must then be
// there once, complete, with the pipeline's pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/BatchRun.h"
#include "files/ImageReader.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFile.h"
#include "support/TestImages.h"

#ifndef LUMETRA_KILL_ON_WRITE
#error "the test needs the library that kills a job as it writes"
#endif

namespace lumetra {
namespace {

struct JobLogLine {
    int exitValue = -1;
    int signal = -1;
    QString input;  // the command's last word
};

QList<JobLogLine> ReadJobLog(const QString& path) {
    QList<JobLogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return lines;
    file.readLine();  // the header
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(u'\t');
        if (fields.size() < 9) continue;
        lines.append({fields[6].toInt(), fields[7].toInt(), fields[8].split(u' ').last()});
    }
    return lines;
}

// The outputs under a folder, by path relative to it.
QStringList FilesUnder(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

TEST(ParallelRun, AJobKilledHalfwayLeavesNothingAndTheResumedRunCompletesEveryOutput) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty() || !test::Run(parallel, {"--version"}).out.startsWith("GNU parallel"))
        GTEST_SKIP() << "GNU parallel is not installed (tools/debian-packages.txt lists it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* folder : {"in/a", "in/b/c", "out", "parallel-home"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
    EditSettings settings;
    settings.checkSepia = 1;
    settings.checkVignette = 1;
    settings.comboFormat = 5;  // PNG: exact pixels
    ASSERT_TRUE(WriteSettingsFile(dir.filePath("look.lumetra"), settings));
    QStringList inputs;
    QStringList expectedOutputs;
    for (int i = 0; i < 26; ++i) {
        const QString folder = i % 2 ? "a" : "b/c";
        const QString name = QString("p%1").arg(i, 2, 10, QChar(u'0'));
        inputs << "in/" + folder + "/" + name + ".png";
        expectedOutputs << folder + "/" + name + "_processed.png";
        ASSERT_FALSE(
            test::WriteImageFile(dir, inputs.last(), test::PhotoLike(40 + i, 30 + i % 7)).isEmpty());
    }
    expectedOutputs.sort();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PARALLEL_HOME", dir.filePath("parallel-home"));
    environment.insert("LD_PRELOAD", LUMETRA_KILL_ON_WRITE);
    environment.insert("LUMETRA_TEST_KILL_DIR", QDir(dir.filePath("out")).canonicalPath());
    environment.insert("LUMETRA_TEST_KILL_ONCE", dir.filePath("killed"));
    // Preloaded ahead of an AddressSanitizer build's runtime.
    environment.insert("ASAN_OPTIONS",
                       environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    const QString jobLog = dir.filePath("jobs.log");
    const auto runParallel = [&](bool resume) {
        QStringList arguments{"--will-cite", "-j2", "--joblog", jobLog};
        if (resume) arguments << "--resume-failed";
        arguments << test::BatchProgram() << "--settings" << "look.lumetra" << "--base" << "in"
                  << "--output-template" << "'out/{dir}/{name}_processed.{ext}'" << ":::"
                  << inputs;
        return test::Run(parallel, arguments, environment, dir.path());
    };

    // One job dies by SIGKILL in the middle of writing its result.
    const test::BatchRun first = runParallel(false);
    EXPECT_EQ(first.status, 1) << "parallel counts the failed jobs\n" << first.err.toStdString();
    ASSERT_TRUE(QFile::exists(dir.filePath("killed"))) << "no job was killed";
    QList<JobLogLine> log = ReadJobLog(jobLog);
    ASSERT_EQ(log.size(), inputs.size());
    QString killed;
    for (const JobLogLine& line : log) {
        if (line.signal == 9) {
            EXPECT_TRUE(killed.isEmpty()) << "a second job was killed: " << line.input.toStdString();
            killed = line.input;
        } else {
            EXPECT_EQ(line.exitValue, 0) << line.input.toStdString();
            EXPECT_EQ(line.signal, 0) << line.input.toStdString();
        }
    }
    ASSERT_TRUE(inputs.contains(killed)) << killed.toStdString();
    const QString killedOutput = expectedOutputs.at(
        expectedOutputs.indexOf(QString(killed).remove(0, 3).replace(".png", "_processed.png")));
    QStringList written = FilesUnder(dir.filePath("out"));
    EXPECT_FALSE(written.contains(killedOutput)) << "a half-written file stands in its place";
    const QStringList litter = [&] {
        QStringList extra = written;
        for (const QString& output : expectedOutputs) extra.removeAll(output);
        return extra;
    }();
    if (!litter.isEmpty())  // a file system without unnamed temporary files
        std::cout << "[ NOTE     ] temporary files left by the killed job: "
                  << litter.join(", ").toStdString() << "\n";
    EXPECT_EQ(written.size() - litter.size(), inputs.size() - 1);

    // The resumed run retries the killed job alone.
    const test::BatchRun resumed = runParallel(true);
    EXPECT_EQ(resumed.status, 0) << resumed.err.toStdString();
    log = ReadJobLog(jobLog);
    ASSERT_EQ(log.size(), inputs.size() + 1);
    EXPECT_EQ(log.last().input, killed);
    EXPECT_EQ(log.last().exitValue, 0);
    written = FilesUnder(dir.filePath("out"));
    for (const QString& file : litter) written.removeAll(file);
    ASSERT_EQ(written, expectedOutputs);
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QString output =
            dir.filePath("out/" + QString(inputs[i]).remove(0, 3).replace(".png", "_processed.png"));
        const QImage want = RenderPipeline(ReadImageFile(dir.filePath(inputs[i])).image, settings,
                                           Image())
                                .toQImage()
                                .convertToFormat(QImage::Format_RGBA8888);
        EXPECT_EQ(ReadImageFile(output).image.toQImage().convertToFormat(QImage::Format_RGBA8888),
                  want)
            << output.toStdString();
    }
}

}  // namespace
}  // namespace lumetra
