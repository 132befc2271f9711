// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FileTestTools.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>

#include "files/Jpeg2000.h"
#include "render/Parallel.h"

namespace lumetra::test {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QStringList FolderEntries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray RunToolForBytes(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForStarted(10000) && process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QString RunTool(const QString& program, const QStringList& arguments, bool* ok) {
    return QString::fromUtf8(RunToolForBytes(program, arguments, ok));
}

QImage DecodeWithImageMagick(const QString& path) {
    bool ok = false;
    const QStringList size = RunTool("identify", {"-format", "%w %h", path}, &ok).split(' ');
    if (!ok || size.size() != 2) return {};
    const int width = size[0].toInt(), height = size[1].toInt();
    const QByteArray pixels = RunToolForBytes("convert", {path, "-depth", "8", "rgba:-"}, &ok);
    if (!ok || pixels.size() != qsizetype(width) * height * 4) return {};
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels.constData() + qsizetype(y) * width * 4,
                    std::size_t(width) * 4);
    return image;
}

QString Identify(const QString& path) {
    bool ok = false;
    const QString out =
        RunTool(QStringLiteral("identify"),
                {QStringLiteral("-format"), QStringLiteral("%m %w %h\\n"), path}, &ok);
    return ok ? out.trimmed() : QStringLiteral("identify failed");
}

QImage DecodeFile(const QString& path) {
    const QByteArray bytes = ReadBytes(path);
    if (LooksLikeJpeg2000(bytes)) return DecodeJpeg2000(bytes);
    if (bytes.mid(4, 8) == "ftypavif") {  // Qt reads no AVIF: libavif's own avifdec does
        QTemporaryDir dir;
        bool ok = false;
        RunTool("avifdec", {path, dir.filePath("decoded.png")}, &ok);
        return ok ? QImage(dir.filePath("decoded.png")) : QImage();
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

QDateTime ModifiedTime(const QString& path) {
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

FileSizeLimit::FileSizeLimit(long long maxBytes) {
    // LLVM's OpenMP runtime (a clang build) registers itself in a small
    // shared-memory file as it starts, and ends the process when the limit
    // keeps it from writing that: it is started before the limit holds.
    (void)WorkerThreads();
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    oldSoft_ = limit.rlim_cur;
    limit.rlim_cur = rlim_t(maxBytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(oldSoft_);
    setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, oldHandler_);
}

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("lumetra-stdout-XXXXXX")));
    file.setAutoRemove(false);
    if (!file.open()) return;
    path_ = file.fileName();
    file.close();
    const int fd = ::open(path_.toLocal8Bit().constData(), O_WRONLY | O_TRUNC);
    if (fd < 0) return;
    saved_ = ::dup(STDOUT_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
}

StdoutCapture::~StdoutCapture() {
    Finish();
}

QString StdoutCapture::Finish() {
    if (saved_ < 0) return {};
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
    saved_ = -1;
    const QString text = QString::fromUtf8(ReadBytes(path_));
    QFile::remove(path_);
    return text;
}

}  // namespace lumetra::test
