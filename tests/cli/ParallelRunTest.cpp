// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch under GNU parallel as the manual page shows it: one input per
// job in two slots, one job killed halfway through writing its result, the
// run resumed from the job log; then every output is there once, complete.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStandardPaths>

#include "cli/BatchRun.h"

namespace lumetra::test {
namespace {

TEST(ParallelRun, AJobKilledHalfwayLeavesNothingAndTheResumedRunCompletesEveryOutput) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty() || !test::Run({parallel, "--version"}).out.startsWith("GNU parallel"))
        GTEST_SKIP() << "GNU parallel is not installed (tools/debian-packages.txt lists it)";
    QTemporaryDir dir;
    for (const char* folder : {"in/a", "in/b/c", "out", "home"}) QDir(dir.path()).mkpath(folder);
    EditSettings settings;
    settings.checkSepia = settings.checkVignette = 1;
    settings.comboFormat = 5;  // PNG: exact pixels
    ASSERT_TRUE(WriteSettingsFile(dir.filePath("look.lumetra"), settings));
    QStringList inputs, outputs;  // outputs under out/
    for (int i = 0; i < 26; ++i) {
        const QString path = QString(i % 2 ? "a/p%1" : "b/c/p%1").arg(i, 2, 10, QChar(u'0'));
        inputs << "in/" + path + ".png";
        outputs << path + "_processed.png";
        WriteImageFile(dir, inputs.last(), PhotoLike(40 + i, 30 + i % 7));
    }
    const auto jobLog = [&] {  // each job's input, exit value and signal
        QStringList jobs;
        for (const QByteArray& line : Bytes(dir.filePath("jobs.log")).split('\n').mid(1))
            if (const QList<QByteArray> fields = line.split('\t'); fields.size() > 8)
                jobs << QString(fields[8].split(' ').last() + ' ' + fields[6] + ' ' + fields[7]);
        return jobs;
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PARALLEL_HOME", dir.filePath("home"));
    environment.insert("LD_PRELOAD", LUMETRA_KILL_ON_WRITE);
    environment.insert("LUMETRA_TEST_KILL_DIR", QDir(dir.filePath("out")).canonicalPath());
    environment.insert("LUMETRA_TEST_KILL_ONCE", dir.filePath("killed"));
    environment.insert("ASAN_OPTIONS",
                       environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    const auto runParallel = [&](const QStringList& resume) {
        const QStringList batch{BatchProgram(),
                                "--settings",
                                "look.lumetra",
                                "--base",
                                "in",
                                "--output-template",
                                "'out/{dir}/{name}_processed.{ext}'",
                                ":::"};
        return test::Run(QStringList{parallel, "--will-cite", "-j2", "--joblog", "jobs.log"} +
                             resume + batch + inputs,
                         environment, dir.path());
    };

    const BatchRun first = runParallel({});
    EXPECT_EQ(first.status, 1) << "parallel counts the failed jobs\n" << first.err.toStdString();
    const QStringList killed = jobLog().filter(QRegularExpression(" 9$"));
    ASSERT_EQ(killed.size(), 1) << "one job dies by SIGKILL";
    EXPECT_EQ(jobLog().filter(" 0 0").size(), inputs.size() - 1);
    const QString killedInput = killed[0].section(u' ', 0, 0);
    for (const QString& output : outputs)  // no half-written file stands in the killed one's place
        EXPECT_EQ(QFile::exists(dir.filePath("out/" + output)),
                  "in/" + output.chopped(14) + ".png" != killedInput)
            << output.toStdString();

    const BatchRun resumed = runParallel({"--resume-failed"});
    EXPECT_EQ(resumed.status, 0) << resumed.err.toStdString();
    ASSERT_EQ(jobLog().size(), inputs.size() + 1) << "only the killed job runs again";
    EXPECT_EQ(jobLog().last(), killedInput + " 0 0");
    for (qsizetype i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(Pixels(dir.filePath("out/" + outputs[i])),
                  Rendered(dir.filePath(inputs[i]), settings))
            << outputs[i].toStdString();
}

}  // namespace
}  // namespace lumetra::test
