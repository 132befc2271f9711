// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the one entry point every picture comes in through,
// ReadImageFile, for every format it reads (the content decides, as for a
// real file), and the header probe a drop makes first. Each input is
// written to a file in memory-backed /dev/shm and read from there.
// Pictures are limited to 4 megapixels so that a header claiming a large
// picture costs milliseconds, not seconds.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "files/ImageReader.h"

namespace {

constexpr std::int64_t kFuzzMaxPixels = std::int64_t(4) << 20;
QString path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt finds its image plug-ins through the application object.
    static QCoreApplication app(*argc, *argv);
    path = QStringLiteral("/dev/shm/lumetra-fuzz-%1").arg(::getpid());
    return 0;
}

// Reads the input as a file at path, checking what comes back.
static void ReadAs(const QString& at, const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadAs(path, data, size);
    // Raw files that are TIFF files inside (DNG, CR2, NEF, ...) are told by
    // their name: a TIFF is read once more as a camera raw file.
    const QByteArray head(reinterpret_cast<const char*>(data),
                          qsizetype(std::min<std::size_t>(size, 4)));
    if (head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4))
        ReadAs(path + QStringLiteral(".dng"), data, size);
    return 0;
}

static void ReadAs(const QString& at, const std::uint8_t* data, std::size_t size) {
    {
        QFile file(at);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    const lumetra::ReadResult read = lumetra::ReadImageFile(at, kFuzzMaxPixels);
    // What comes back is either a picture within the limit or a reason.
    if (read.ok()) {
        if (read.image.pixelCount() > std::size_t(kFuzzMaxPixels)) std::abort();
        if (read.damaged && read.damage.isEmpty()) std::abort();
    } else if (read.error.isEmpty()) {
        std::abort();
    }
    // The header probe a drop makes takes whatever reads, and refuses with
    // a reason.
    const lumetra::ProbeResult probe = lumetra::ProbeImageFile(at, kFuzzMaxPixels);
    if (read.ok() && !probe.ok()) std::abort();
    if (!probe.ok() && probe.error.isEmpty()) std::abort();
}
