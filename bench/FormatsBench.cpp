// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bin/bench_formats
// The benchmark's 24-megapixel photo converted to HEIC, AVIF, WebP and
// JPEG XL by the libraries' own encoders (heif-enc, avifenc, cwebp, cjxl),
// and to an uncompressed Bayer DNG written here, then opened two ways side
// by side: by ReadImageFile (Open/...) and by the library's own command-line
// decoder (Tool/...), each to the decoded picture where the tool can stop
// there (dwebp and avifdec --info decode without writing; heif-convert
// writes its cheapest output, Y4M, djxl a PPM and dcraw_emu a PPM, both to
// memory-backed /dev/shm). Then saving WebP and AVIF against cwebp and
// avifenc at the same settings. The goal is Open <= 1.2 x Tool and Save <=
// Tool. The tools' times include starting a process (a few milliseconds).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcess>
#include <QThread>

#include "BenchSupport.h"
#include "files/AvifCodec.h"
#include "files/Export.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "files/WebpCodec.h"

namespace lumetra::bench {
namespace {

const QString kFolder = QStringLiteral("/dev/shm/lumetra-bench-formats");
const QString kThreads = QString::number(std::max(1, QThread::idealThreadCount()));

QString InFolder(const QString& name) {
    return QDir(kFolder).filePath(name);
}

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The photo as a PNG and a PPM, the encoders' inputs.
void WritePhotoInputs() {
    if (QFileInfo(InFolder("photo.ppm")).size() > 0) return;
    const QImage photo = ReadImageFile(PhotoJpegPath()).image.toQImage();
    photo.save(InFolder("photo.ppm"));
    QImageWriter png(InFolder("photo.png"), "png");
    png.setCompression(1);
    png.write(photo);
}

// The photo's green-red-green-blue mosaic as a 16-bit DNG.
void WriteDng(const QString& path) {
    const QImage photo = ReadImageFile(PhotoJpegPath()).image.toQImage();
    const int w = photo.width(), h = photo.height();
    QByteArray pixels(qsizetype(w) * h * 2, '\0');
    auto* out = reinterpret_cast<quint16*>(pixels.data());
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(photo.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            const int v = y % 2 == 0 ? (x % 2 == 0 ? qRed(p) : qGreen(p))
                                     : (x % 2 == 0 ? qGreen(p) : qBlue(p));
            out[qsizetype(y) * w + x] = quint16(v * 257);
        }
    }
    QByteArray f("II*\0\x08\0\0\0", 8), extra;
    const auto le = [](QByteArray* b, quint32 v, int n) {
        for (int i = 0; i < n; ++i) b->append(char(v >> (8 * i) & 0xFF));
    };
    struct Entry {
        quint16 tag, type;
        quint32 count, value;
    };
    const Entry entries[] = {{254, 4, 1, 0},
                             {256, 4, 1, quint32(w)},
                             {257, 4, 1, quint32(h)},
                             {258, 3, 1, 16},
                             {259, 3, 1, 1},
                             {262, 3, 1, 32803},
                             {271, 2, 4, 0x00574152},  // "RAW"
                             {273, 4, 1, 0},
                             {277, 3, 1, 1},
                             {278, 4, 1, quint32(h)},
                             {279, 4, 1, quint32(pixels.size())},
                             {33421, 3, 2, 0x00020002},
                             {33422, 1, 4, 0x02010100},
                             {50706, 1, 4, 0x00000401}};
    const quint32 count = sizeof entries / sizeof entries[0];
    const quint32 dataAt = 8 + 2 + count * 12 + 4;
    le(&f, count, 2);
    for (const Entry& e : entries) {
        le(&f, e.tag, 2);
        le(&f, e.type, 2);
        le(&f, e.count, 4);
        le(&f, e.tag == 273 ? dataAt : e.value, 4);
    }
    le(&f, 0, 4);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(f + pixels);
}

// The photo in a format, made once per run.
QString Converted(const QString& extension) {
    QDir().mkpath(kFolder);
    const QString out = InFolder("photo." + extension);
    if (QFileInfo(out).size() > 0) return out;
    WritePhotoInputs();
    if (extension == "webp")
        Run("cwebp", {"-quiet", "-q", "80", "-m", "4", InFolder("photo.ppm"), "-o", out});
    else if (extension == "avif")
        Run("avifenc",
            {"-s", "8", "--min", "13", "--max", "13", "-j", kThreads, InFolder("photo.png"), out});
    else if (extension == "heic")
        Run("heif-enc", {"-q", "80", PhotoJpegPath(), "-o", out});
    else if (extension == "jxl")
        Run("cjxl", {"--quiet", "-q", "80", "-e", "3", InFolder("photo.png"), out});
    else if (extension == "dng")
        WriteDng(out);
    return out;
}

void Open(benchmark::State& state, const char* extension) {
    const QString path = Converted(extension);
    for (auto _ : state) {
        const ReadResult read = ReadImageFile(path);
        if (!read.ok()) {
            state.SkipWithError(read.error.toStdString().c_str());
            break;
        }
        benchmark::DoNotOptimize(read.image.width());
    }
}

void Tool(benchmark::State& state, const char* extension) {
    const QString path = Converted(extension);
    const QString e = extension;
    const QString program = e == "webp"   ? "dwebp"
                            : e == "avif" ? "avifdec"
                            : e == "heic" ? "heif-convert"
                            : e == "jxl"  ? "djxl"
                                          : "dcraw_emu";
    const QStringList arguments =
        e == "webp"   ? QStringList{path, "-mt"}
        : e == "avif" ? QStringList{"-j", kThreads, "--info", path}
        : e == "heic" ? QStringList{path, InFolder("decoded.y4m")}
        : e == "jxl"
            ? QStringList{path, InFolder("decoded.ppm"), "--num_threads=" + kThreads}
            : QStringList{"-w", "-6", "-g", "2.4", "12.92", "-mem", "-Z", InFolder("decoded.ppm"),
                          path};
    for (auto _ : state) {
        if (!Run(program, arguments)) {
            state.SkipWithError("the tool failed");
            break;
        }
    }
}

void Save(benchmark::State& state, int formatIndex) {
    const QImage photo =
        ReadImageFile(PhotoJpegPath()).image.toQImage().convertToFormat(QImage::Format_RGBA8888);
    const QString path = InFolder(QStringLiteral("saved.") + FormatExtension(formatIndex));
    for (auto _ : state) {
        if (!ImageTools::SaveImage(photo, path, formatIndex, 0.8)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}

// The encoders at the savers' settings: quality 80 and method 4 with
// threads for WebP; speed 8, quantizer 13 and all cores for AVIF.
void Encoder(benchmark::State& state, const char* extension) {
    Converted("webp");  // writes the inputs
    const bool webp = QString(extension) == "webp";
    const QString out = InFolder(QStringLiteral("encoded.") + extension);
    for (auto _ : state) {
        const bool ok =
            webp ? Run("cwebp", {"-quiet", "-q", "80", "-m", QString::number(kWebpMethod), "-mt",
                                 InFolder("photo.ppm"), "-o", out})
                 : Run("avifenc", {"-s", QString::number(kAvifEncoderSpeed), "--min",
                                   QString::number(AvifQuantizer(0.8)), "--max",
                                   QString::number(AvifQuantizer(0.8)), "-j", kThreads,
                                   InFolder("photo.png"), out});
        if (!ok) {
            state.SkipWithError("the encoder failed");
            break;
        }
    }
    state.counters["bytes"] = double(QFileInfo(out).size());
}

#define LUMETRA_OPEN_PAIR(Name, extension)                                                  \
    BENCHMARK_CAPTURE(Open, Name, extension)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(Tool, Name, extension)->Unit(benchmark::kMillisecond)->UseRealTime();

LUMETRA_OPEN_PAIR(Heic, "heic")
LUMETRA_OPEN_PAIR(Avif, "avif")
LUMETRA_OPEN_PAIR(Webp, "webp")
LUMETRA_OPEN_PAIR(JpegXl, "jxl")
LUMETRA_OPEN_PAIR(Dng, "dng")
BENCHMARK_CAPTURE(Save, Webp, 10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Encoder, Webp, "webp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Save, Avif, 11)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(Encoder, Avif, "avif")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace lumetra::bench
