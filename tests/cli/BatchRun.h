// SPDX-License-Identifier: GPL-3.0-or-later
// What the batch tool's tests share: a program run as a user runs it, files'
// bytes and pixels, and the pixels the editor's pipeline makes of an input.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "files/ImageReader.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFile.h"
#include "support/TestImages.h"

namespace lumetra::test {

struct BatchRun {
    int status = -1;  // -1: it crashed, was killed or did not finish
    QString out, err;
};

inline BatchRun Run(
    const QStringList& programAndArguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QString& workingFolder = QString()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.start(programAndArguments.first(), programAndArguments.mid(1));
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

inline BatchRun Batch(const QStringList& arguments, const QProcessEnvironment& environment =
                                                        QProcessEnvironment::systemEnvironment()) {
    return Run(QStringList{BatchProgram()} + arguments, environment);
}

inline QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QImage Pixels(const QString& path) {
    return ReadImageFile(path).image.toQImage().convertToFormat(QImage::Format_RGBA8888);
}

inline QImage Rendered(const QString& input, const EditSettings& settings) {
    const Image result = RenderPipeline(ReadImageFile(input).image, settings, Image());
    return result.toQImage().convertToFormat(QImage::Format_RGBA8888);
}

}  // namespace lumetra::test
