// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch under GNU parallel as the manual page shows it: one input per
// job in two slots, one job killed halfway through writing its result, the
// run resumed from the job log; then every output is there once, complete.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/BatchRun.h"
#include "settings/SettingsFile.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

// Each job's input, exit value and signal from parallel's job log.
QStringList JobLog(const QString& path) {
    QFile file(path);
    QStringList jobs;
    if (!file.open(QIODevice::ReadOnly)) return jobs;
    for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (fields.size() > 8)
            jobs << fields[8].split(u' ').last() + " " + fields[6] + " " + fields[7];
    }
    return jobs;
}

TEST(ParallelRun, AJobKilledHalfwayLeavesNothingAndTheResumedRunCompletesEveryOutput) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty() || !test::Run(parallel, {"--version"}).out.startsWith("GNU parallel"))
        GTEST_SKIP() << "GNU parallel is not installed (tools/debian-packages.txt lists it)";
    QTemporaryDir dir;
    for (const char* folder : {"in/a", "in/b/c", "out", "home"}) QDir(dir.path()).mkpath(folder);
    EditSettings settings;
    settings.checkSepia = settings.checkVignette = 1;
    settings.comboFormat = 5;  // PNG: exact pixels
    ASSERT_TRUE(WriteSettingsFile(dir.filePath("look.lumetra"), settings));
    QStringList inputs, outputs;  // outputs relative to out/
    for (int i = 0; i < 26; ++i) {
        const QString path = QString(i % 2 ? "a/p%1" : "b/c/p%1").arg(i, 2, 10, QChar(u'0'));
        inputs << "in/" + path + ".png";
        outputs << path + "_processed.png";
        test::WriteImageFile(dir, inputs.last(), test::PhotoLike(40 + i, 30 + i % 7));
    }
    const auto written = [&] {  // the results under out/, sorted
        QStringList files;
        for (QDirIterator it(dir.filePath("out"), {"*_processed.png"}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            files << QDir(dir.filePath("out")).relativeFilePath(it.next());
        files.sort();
        return files;
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PARALLEL_HOME", dir.filePath("home"));
    environment.insert("LD_PRELOAD", LUMETRA_KILL_ON_WRITE);
    environment.insert("LUMETRA_TEST_KILL_DIR", QDir(dir.filePath("out")).canonicalPath());
    environment.insert("LUMETRA_TEST_KILL_ONCE", dir.filePath("killed"));
    environment.insert("ASAN_OPTIONS",
                       environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    const auto runParallel = [&](const QStringList& resume) {
        return test::Run(
            parallel,
            QStringList{"--will-cite", "-j2", "--joblog", "jobs.log"} + resume +
                QStringList{test::BatchProgram(), "--settings", "look.lumetra", "--base", "in",
                            "--output-template", "'out/{dir}/{name}_processed.{ext}'", ":::"} +
                inputs,
            environment, dir.path());
    };

    const test::BatchRun first = runParallel({});
    EXPECT_EQ(first.status, 1) << "parallel counts the failed jobs\n" << first.err.toStdString();
    const QStringList log = JobLog(dir.filePath("jobs.log"));
    const QStringList killed = log.filter(QRegularExpression(" 9$"));
    ASSERT_EQ(killed.size(), 1) << "one job dies by SIGKILL";
    EXPECT_EQ(log.filter(" 0 0").size(), inputs.size() - 1);
    const QString killedInput = killed[0].section(u' ', 0, 0);
    QStringList expected = outputs;
    expected.sort();
    QStringList others = expected;
    others.removeOne(killedInput.mid(3).replace(".png", "_processed.png"));
    EXPECT_EQ(written(), others) << "no half-written file may stand in the killed one's place";

    const test::BatchRun resumed = runParallel({"--resume-failed"});
    EXPECT_EQ(resumed.status, 0) << resumed.err.toStdString();
    const QStringList after = JobLog(dir.filePath("jobs.log"));
    ASSERT_EQ(after.size(), inputs.size() + 1) << "only the killed job runs again";
    EXPECT_EQ(after.last(), killedInput + " 0 0");
    ASSERT_EQ(written(), expected);
    for (qsizetype i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(test::Pixels(dir.filePath("out/" + outputs[i])),
                  test::Rendered(dir.filePath(inputs[i]), settings))
            << outputs[i].toStdString();
}

}  // namespace
}  // namespace lumetra
