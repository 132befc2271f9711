// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FileTestTools.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "files/Jpeg2000.h"
#include "render/Parallel.h"
#include "support/TestImages.h"

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

QByteArray RunTool(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForStarted(10000) && process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QImage DecodeWithImageMagick(const QString& path) {
    bool ok = false;
    const QList<QByteArray> size = RunTool("identify", {"-format", "%w %h", path}, &ok).split(' ');
    if (!ok || size.size() != 2) return {};
    const int width = size[0].toInt(), height = size[1].toInt();
    const QByteArray pixels = RunTool("convert", {path, "-depth", "8", "rgba:-"}, &ok);
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
        QString::fromUtf8(RunTool("identify", {"-format", "%m %w %h\\n", path}, &ok));
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
    reader.setAutoTransform(false);
    return reader.read();
}

QByteArray EncodeWithLibjpeg(const QImage& picture, bool cmyk, int quality,
                             unsigned restartInterval) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    unsigned char* output = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &output, &size);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = 4;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
    jpeg_set_defaults(&info);  // for CMYK, with the Adobe marker
    jpeg_set_quality(&info, quality, TRUE);
    info.restart_interval = restartInterval;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(output), qsizetype(size));
    std::free(output);
    return bytes;
}

QByteArray CameraJpeg(const QByteArray& make) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    PhotoLike(90, 60).save(&buffer, "jpeg", 95);
    const QByteArray name = make + '\0';
    QByteArray tiff("II*\0\x08\0\0\0\x01\0", 10);               // header, IFD0 with one entry
    tiff += QByteArray("\x0F\x01\x02\0", 4);                    // Make, ASCII
    tiff += char(name.size()) + QByteArray("\0\0\0", 3);        // count
    tiff += QByteArray("\x1A\0\0\0", 4) + QByteArray(4, '\0');  // value at 26; no next IFD
    tiff += name;
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((body.size() + 2) >> 8);
    app1 += char((body.size() + 2) & 0xFF);
    return jpeg.left(2) + app1 + body + jpeg.mid(2);
}

QImage StoredOnItsSide(bool deep) {
    QImage stored(64, 32, deep ? QImage::Format_RGBA64 : QImage::Format_RGB32);
    stored.fill(QColor(20, 60, 200));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) stored.setPixelColor(x, y, QColor(255, 0, 0));
    return stored;
}

int RedQuarter(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    const QPoint centres[] = {
        {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int q = 0; q < 4; ++q) {
        const QColor c = rgb.pixelColor(centres[q]);
        if (c.red() > 200 && c.green() < 50 && c.blue() < 50) return q;
    }
    return -1;
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

int LargestDifference(const QImage& a, const QImage& b, bool alpha) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)),
                                alpha ? std::abs(qAlpha(p) - qAlpha(q)) : 0});
        }
    return largest;
}

}  // namespace lumetra::test
