// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program of the build (lumetra-batch, by default) as a user runs it.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace lumetra::test {

struct BatchRun {
    int status = -1;  // -1: it crashed, was killed or did not finish
    QString out;
    QString err;
};

inline BatchRun Run(
    const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QString& workingFolder = QString()) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
    process.start();
    BatchRun run;
    if (!process.waitForFinished(120000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QString BatchProgram() {
    return QCoreApplication::applicationDirPath() + "/lumetra-batch";
}

inline BatchRun Batch(
    const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QString& workingFolder = QString()) {
    return Run(BatchProgram(), arguments, environment, workingFolder);
}

}  // namespace lumetra::test
