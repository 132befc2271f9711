// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program of the build (lumetra-batch, by default) as a user runs it,
// and the pixels the editor's pipeline makes of an input.
#pragma once

#include <QCoreApplication>
#include <QProcess>

#include "files/ImageReader.h"
#include "render/RenderPipeline.h"

namespace lumetra::test {

struct BatchRun {
    int status = -1;  // -1: it crashed, was killed or did not finish
    QString out, err;
};

inline QString BatchProgram() { return QCoreApplication::applicationDirPath() + "/lumetra-batch"; }

inline BatchRun Run(
    const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QString& workingFolder = QString()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    BatchRun run;
    if (!process.waitForFinished(120000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline BatchRun Batch(
    const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    return Run(BatchProgram(), arguments, environment);
}

inline QImage Pixels(const QString& path) {
    return ReadImageFile(path).image.toQImage().convertToFormat(QImage::Format_RGBA8888);
}

inline QImage Rendered(const QString& input, const EditSettings& settings) {
    return RenderPipeline(ReadImageFile(input).image, settings, Image())
        .toQImage()
        .convertToFormat(QImage::Format_RGBA8888);
}

}  // namespace lumetra::test
