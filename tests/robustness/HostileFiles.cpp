// SPDX-License-Identifier: GPL-3.0-or-later
#include "robustness/HostileFiles.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra::test {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

void AppendLittleEndian(QByteArray* out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) out->append(char((v >> (8 * i)) & 0xFF));
}

void AppendBigEndian(QByteArray* out, quint32 v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out->append(char((v >> (8 * i)) & 0xFF));
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    AppendBigEndian(&chunk, quint32(data.size()), 4);
    const QByteArray body = QByteArray(type, 4) + data;
    chunk += body;
    AppendBigEndian(
        &chunk,
        quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))), 4);
    return chunk;
}

// The sound file of the kind with its header claiming side x side pixels;
// the data behind it stays as it was.
QByteArray Claiming(const QString& kind, quint32 side) {
    QByteArray file = SoundFile(kind);
    const auto put = [&file](qsizetype at, quint32 v, int bytes, bool bigEndian) {
        for (int i = 0; i < bytes && at >= 0 && at + bytes <= file.size(); ++i)
            file[at + i] = char(v >> (8 * (bigEndian ? bytes - 1 - i : i)));
    };
    const auto at = [&file](const QByteArray& marker) {
        const qsizetype found = file.indexOf(marker);
        return found < 0 ? -file.size() : found;
    };
    if (kind == "png") {  // IHDR's width and height, and its CRC
        put(16, side, 4, true);
        put(20, side, 4, true);
        put(29, quint32(crc32(0, reinterpret_cast<const Bytef*>(file.constData() + 12), 17)), 4,
            true);
    } else if (kind == "bmp") {
        put(18, side, 4, false);
        put(22, side, 4, false);
    } else if (kind == "gif") {  // the logical screen
        put(6, side, 2, false);
        put(8, side, 2, false);
    } else if (kind == "jpg") {  // the frame header: height, then width
        put(at(QByteArray("\xFF\xC0", 2)) + 5, side, 2, true);
        put(at(QByteArray("\xFF\xC0", 2)) + 7, side, 2, true);
    } else if (kind == "jp2") {  // the header box, and the image and tile sizes of the SIZ
        for (qsizetype offset : {4, 8}) put(at("ihdr") + offset, side, 4, true);
        for (qsizetype offset : {8, 12, 24, 28})
            put(at(QByteArray("\xFF\x4F\xFF\x51", 4)) + offset, side, 4, true);
    } else if (kind == "tif") {  // ImageWidth and ImageLength, as LONGs, in the first directory
        const auto u16 = [&file](qsizetype i) { return uchar(file[i]) | uchar(file[i + 1]) << 8; };
        const qsizetype directory = u16(4) | u16(6) << 16;
        for (int entry = 0; entry < u16(directory) && directory + 14 + 12 * entry <= file.size();
             ++entry) {
            const qsizetype e = directory + 2 + 12 * entry;
            if (u16(e) != 256 && u16(e) != 257) continue;
            put(e + 2, 4, 2, false);
            put(e + 8, side, 4, false);
        }
    }
    return file;
}

// A lossless WebP whose header claims 16384 x 16384 pixels (the format's
// largest), followed by noise.
QByteArray WebpBomb() {
    QByteArray vp8l("\x2F\xFF\xFF\xFF\x0F", 5);  // 14 bits each of width - 1, height - 1
    vp8l += QByteArray(59, '\x55');
    QByteArray out("RIFF", 4);
    AppendLittleEndian(&out, quint32(4 + 8 + vp8l.size()), 4);
    out += "WEBPVP8L";
    AppendLittleEndian(&out, quint32(vp8l.size()), 4);
    return out + vp8l;
}

// An ISO base media file (HEIC, AVIF) whose image spatial extents claim
// side x side pixels.
QByteArray WithIspe(QByteArray file, quint32 side) {
    for (qsizetype at = file.indexOf("ispe"); at >= 0; at = file.indexOf("ispe", at + 4)) {
        QByteArray sides;
        AppendBigEndian(&sides, side, 4);
        AppendBigEndian(&sides, side, 4);
        file.replace(at + 8, 8, sides);
    }
    return file;
}

// A JPEG XL codestream whose size header claims 100000 x 100000 pixels.
QByteArray JxlBomb() {
    QByteArray out("\xFF\x0A", 2);
    int count = 0;
    const auto put = [&](quint32 value, int n) {  // least significant bit first
        for (int i = 0; i < n; ++i, ++count) {
            if (count % 8 == 0) out.append('\0');
            if (value >> i & 1) out[out.size() - 1] = char(out.back() | 1 << (count % 8));
        }
    };
    put(0, 1);                  // not small
    put(3, 2), put(99999, 30);  // height - 1 in 30 bits
    put(0, 3);                  // no ratio: the width follows
    put(3, 2), put(99999, 30);
    put(1, 1);  // default metadata
    return out + QByteArray(256, '\x33');
}

// An Exif APP1 segment (little-endian) put after the JPEG's SOI.
QByteArray WithApp1(const QByteArray& jpeg, const QByteArray& exifBody) {
    QByteArray segment("\xFF\xE1", 2);
    AppendBigEndian(&segment, quint32(exifBody.size() + 2 + 6), 2);
    segment += QByteArray("Exif\0\0", 6) + exifBody;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// Little-endian TIFF: IFD0 at 8 with one entry, Orientation (a SHORT), and
// no next IFD.
QByteArray ExifOrientation(int value) {
    return QByteArray("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18) + char(value) +
           QByteArray(7, '\0');
}

// IFD0 far outside the block, and a second IFD entry count that runs off
// its end.
QByteArray CorruptExif() {
    return QByteArray("II*\0\0\xFF\xFF\xFFMM\0*\xFF\xFF\xFF\xFF\x12\x01", 18);
}

// A chunk put before the PNG's first IDAT.
QByteArray WithPngChunk(const QByteArray& png, const char* type, const QByteArray& data) {
    const qsizetype idat = png.indexOf("IDAT") - 4;
    if (idat < 8) return {};
    return png.left(idat) + PngChunk(type, data) + png.mid(idat);
}

// A compressed text chunk named as the Exif profile, its compressed data
// a few bytes that are not zlib's.
QByteArray BrokenRawProfile() {
    return QByteArray("Raw profile type exif\0\0", 23) + QByteArray("\x78\x9C\xFF\xFF\x00", 5);
}

// A JP2 box holding an Exif block.
QByteArray Jp2ExifBox(const QByteArray& exif) {
    QByteArray box;
    AppendBigEndian(&box, quint32(8 + 16 + exif.size()), 4);
    return box + "uuid" + QByteArray("JpgTiffExif->JP2", 16) + exif;
}

QByteArray Noise(int bytes, quint32 seed) {
    QByteArray out(bytes, 0);
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return out;
}

std::function<bool(const QString&)> Bytes(std::function<QByteArray()> make) {
    return [make](const QString& path) { return WriteBytes(path, make()); };
}

}  // namespace

QByteArray SoundFile(const QString& kind) {
    static QMap<QString, QByteArray> made;
    if (made.contains(kind)) return made.value(kind);
    const QImage picture = PhotoLike(kWidth, kHeight);
    QByteArray bytes;
    if (kind == "progressive.jpg") {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        writer.setProgressiveScanWrite(true);
        writer.write(picture);
    } else if (kind == "dng") {
        bytes = MakeDng(kWidth, kHeight, 1);
    } else if (kind == "heic" || kind == "jxl") {
        // Made by the libraries' own encoders from a PNG.
        QTemporaryDir dir;
        const QString png = dir.filePath("sound.png"), out = dir.filePath("sound." + kind);
        const QStringList command = kind == "heic" ? QStringList{"heif-enc", png, "-o", out}
                                                   : QStringList{"cjxl", "--quiet", png, out};
        if (picture.save(png) && QProcess::execute(command.front(), command.mid(1)) == 0) {
            QFile file(out);
            if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        }
    } else {
        const QMap<QString, int> formatIndex{{"jpg", 0}, {"jp2", 3}, {"png", 5},   {"tif", 6},
                                             {"gif", 8}, {"bmp", 9}, {"webp", 10}, {"avif", 11}};
        QTemporaryDir dir;
        const QString path = dir.filePath("sound." + kind);
        if (formatIndex.contains(kind) &&
            ImageTools::SaveImage(picture, path, formatIndex.value(kind), 0.9))
            bytes = ReadBytes(path);
    }
    made.insert(kind, bytes);
    return bytes;
}

std::vector<HostileFile> HostileCorpus() {
    std::vector<HostileFile> corpus;
    const QSize size(kWidth, kHeight);
    const auto refused = [&corpus](std::string label, const QString& name,
                                   std::function<QByteArray()> make) {
        corpus.push_back({std::move(label), name, Bytes(std::move(make)), Outcome::Refused, {}});
    };

    // Sound files cut short: inside the header, and at a third, two thirds
    // and two bytes before the end of their data.
    // Our JPEG decoder and the structural checks of GIF, BMP and PNG give
    // what decodes of a cut file and call it damaged; Qt's PNG and TIFF
    // readers stop at a cut, OpenJPEG (strict) refuses a tile cut short,
    // and a progressive JPEG cut inside the tables between its scans
    // cannot be decoded at all.
    //
    // The header probe takes every cut whose header survives it: not the
    // TIFF's, whose directory comes after the strips, and only the GIF's
    // of the files cut at 20 bytes (its screen is whole).
    using Header = HostileFile::Header;
    const struct {
        const char* kind;
        const char* label;
        Outcome cut;         // cut at a third and two thirds
        Outcome nearlyAll;   // two bytes short
        Header cutHeader;    // of these three cuts
        Header twentyBytes;  // of the cut in the header
        // Of the cut two bytes short, where it differs from the other cuts
        // (AsReading: the same).
        Header twoBytesShort = Header::AsReading;
    } kinds[] = {
        {"jpg", "Jpeg", Outcome::Damaged, Outcome::Damaged, Header::Sound, Header::Broken},
        {"progressive.jpg", "ProgressiveJpeg", Outcome::RefusedOrDamaged, Outcome::Damaged,
         Header::Sound, Header::Broken},
        {"png", "Png", Outcome::RefusedOrDamaged, Outcome::Damaged, Header::Sound, Header::Broken},
        {"tif", "Tiff", Outcome::RefusedOrDamaged, Outcome::RefusedOrDamaged, Header::Broken,
         Header::Broken},
        {"gif", "Gif", Outcome::Damaged, Outcome::Damaged, Header::Sound, Header::Sound},
        {"bmp", "Bmp", Outcome::Damaged, Outcome::Damaged, Header::Sound, Header::Broken},
        {"jp2", "Jpeg2000", Outcome::Refused, Outcome::Refused, Header::Sound, Header::Broken},
        // The newer formats' decoders refuse a file cut short. The WebP
        // demuxer, libavif and libheif check every chunk or item against
        // the file's size, header probe included; JPEG XL's header is in its
        // first 20 bytes, a raw file's is its TIFF directory, in front.
        {"webp", "Webp", Outcome::Refused, Outcome::Refused, Header::Broken, Header::Broken},
        {"avif", "Avif", Outcome::Refused, Outcome::Refused, Header::Broken, Header::Broken,
         Header::Sound},
        {"heic", "Heic", Outcome::Refused, Outcome::Refused, Header::Broken, Header::Broken},
        {"jxl", "JpegXl", Outcome::Refused, Outcome::Refused, Header::Sound, Header::Sound},
        {"dng", "Dng", Outcome::Refused, Outcome::Refused, Header::Sound, Header::Broken}};
    for (const auto& k : kinds) {
        const QString kind = k.kind;
        const QString extension = kind.section('.', -1);
        corpus.push_back({std::string("Sound") + k.label, "sound." + extension,
                          Bytes([kind] { return SoundFile(kind); }), Outcome::Opens, size});
        corpus.push_back({std::string(k.label) + "CutInItsHeader", "header." + extension,
                          Bytes([kind] { return SoundFile(kind).left(20); }), Outcome::Refused,
                          QSize(), k.twentyBytes});
        for (const int percent : {33, 66}) {
            corpus.push_back({std::string(k.label) + "CutAt" + std::to_string(percent) + "Percent",
                              QStringLiteral("cut%1.").arg(percent) + extension,
                              Bytes([kind, percent] {
                                  const QByteArray sound = SoundFile(kind);
                                  return sound.left(sound.size() * percent / 100);
                              }),
                              k.cut, size, k.cutHeader});
        }
        corpus.push_back({std::string(k.label) + "CutTwoBytesShort", "short." + extension,
                          Bytes([kind] { return SoundFile(kind).chopped(2); }), k.nearlyAll, size,
                          k.twoBytesShort == Header::AsReading ? k.cutHeader : k.twoBytesShort});
    }

    // Empty files with each extension.
    for (const char* extension : {"jpg", "png", "tif", "gif", "bmp", "jp2"})
        refused(std::string("Empty_") + extension, QStringLiteral("empty.") + extension,
                [] { return QByteArray(); });

    // The right extension, the wrong content.
    refused("TextNamedJpg", "letter.jpg",
            [] { return QByteArray("Dear friend,\nthis is not a photo.\n"); });
    refused("NoiseNamedPng", "noise.png", [] { return Noise(4096, 7); });
    refused("PngSignatureThenNoise", "fake.png",
            [] { return QByteArray("\x89PNG\r\n\x1a\n", 8) + Noise(2048, 11); });
    refused("TiffHeaderThenNoise", "fake.tif",
            [] { return QByteArray("II*\0\x08\0\0\0", 8) + Noise(2048, 13); });
    refused("JpegMarkersThenNoise", "fake.jpg",
            [] { return QByteArray("\xFF\xD8\xFF\xE0", 4) + Noise(2048, 17); });
    refused("Jpeg2000SignatureThenNoise", "fake.jp2",
            [] { return QByteArray("\0\0\0\x0CjP  \r\n\x87\n", 12) + Noise(2048, 19); });

    // Headers that claim far more pixels than the editor accepts: refused
    // before any memory is taken for them.
    for (const auto& [label, extension, side] :
         {std::tuple{"PngClaiming100000x100000", "png", 100000},
          std::tuple{"TiffClaiming100000x100000", "tif", 100000},
          std::tuple{"BmpClaiming100000x100000", "bmp", 100000},
          std::tuple{"JpegClaiming60000x60000", "jpg", 60000},
          std::tuple{"GifScreen65535x65535", "gif", 65535},
          std::tuple{"Jpeg2000Claiming60000x60000", "jp2", 60000}}) {
        const QString kind = extension;
        const int claimed = side;
        refused(label, "bomb." + kind, [kind, claimed] { return Claiming(kind, claimed); });
    }
    refused("WebpClaiming16384x16384", "bomb.webp", WebpBomb);
    // libavif and libheif refuse sides beyond 16384 and 32768 themselves,
    // LibRaw beyond 64000: these claims pass them and meet the editor's limit.
    refused("AvifClaiming16000x16000", "bomb.avif",
            [] { return WithIspe(SoundFile("avif"), 16000); });
    refused("HeicClaiming30000x30000", "bomb.heic",
            [] { return WithIspe(SoundFile("heic"), 30000); });
    refused("JpegXlClaiming100000x100000", "bomb.jxl", JxlBomb);
    refused("DngClaiming30000x30000", "bomb.dng",
            [] { return MakeDng(kWidth, kHeight, 1, QSize(30000, 30000)); });
    // The newer formats' signatures followed by noise.
    for (const auto& [label, name, signature] :
         {std::tuple{"WebpSignatureThenNoise", "fake.webp",
                     QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16)},
          std::tuple{"AvifSignatureThenNoise", "fake.avif",
                     QByteArray("\0\0\0\x1C"
                                "ftypavif\0\0\0\0avifmif1miaf",
                                28)},
          std::tuple{"HeicSignatureThenNoise", "fake.heic",
                     QByteArray("\0\0\0\x18"
                                "ftypheic\0\0\0\0mif1heic",
                                24)},
          std::tuple{"JpegXlSignatureThenNoise", "fake.jxl", QByteArray("\xFF\x0A", 2)},
          std::tuple{"DngHeaderThenNoise", "fake.dng", QByteArray("II*\0\x08\0\0\0", 8)}}) {
        const QByteArray head = signature;
        refused(label, name, [head] { return head + Noise(4096, 23); });
    }

    // Exif blocks: metadata that lies does not spoil a sound picture.
    corpus.push_back({"JpegWithCorruptExif", "exif.jpg",
                      Bytes([] { return WithApp1(SoundFile("jpg"), CorruptExif()); }),
                      Outcome::Opens, size});
    corpus.push_back({"JpegWithExifOrientation9", "turned.jpg",
                      Bytes([] { return WithApp1(SoundFile("jpg"), ExifOrientation(9)); }),
                      Outcome::Opens, size});
    corpus.push_back({"PngWithCorruptExifChunk", "exif.png",
                      Bytes([] { return WithPngChunk(SoundFile("png"), "eXIf", CorruptExif()); }),
                      Outcome::Opens, size});
    corpus.push_back({"PngWithExifOrientation9", "turned.png", Bytes([] {
                          return WithPngChunk(SoundFile("png"), "eXIf", ExifOrientation(9));
                      }),
                      Outcome::Opens, size});
    corpus.push_back({"PngWithBrokenExifTextChunk", "text.png", Bytes([] {
                          return WithPngChunk(SoundFile("png"), "zTXt", BrokenRawProfile());
                      }),
                      Outcome::Opens, size});
    corpus.push_back({"Jpeg2000WithCorruptExifBox", "exif.jp2",
                      Bytes([] { return SoundFile("jp2") + Jp2ExifBox(CorruptExif()); }),
                      Outcome::Opens, size});

    // A GIF with a screen and no picture on it.
    corpus.push_back({"GifWithoutFrames", "empty-screen.gif",
                      Bytes([] { return QByteArray("GIF89a\x0A\0\x0A\0\0\0\0;", 14); }),
                      Outcome::Refused, QSize(), Header::Sound});

    // Not regular files, and no file at all.
    corpus.push_back(
        {"MissingFile", "missing.jpg", [](const QString&) { return true; }, Outcome::Refused, {}});
    corpus.push_back({"FolderNamedPhotoJpg",
                      "photo.jpg",
                      [](const QString& path) { return QDir().mkdir(path); },
                      Outcome::Refused,
                      {}});
    corpus.push_back({"PipeNamedPhotoPng",
                      "pipe.png",
                      [](const QString& path) {
                          return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
                      },
                      Outcome::Refused,
                      {}});
    corpus.push_back({"LinkToDevZeroNamedJpg",
                      "zero.jpg",
                      [](const QString& path) { return QFile::link("/dev/zero", path); },
                      Outcome::Refused,
                      {}});

    // A sound photo nobody may read.
    corpus.push_back({"JpegWithoutReadPermission",
                      "private.jpg",
                      [](const QString& path) {
                          return WriteBytes(path, SoundFile("jpg")) &&
                                 QFile::setPermissions(path, QFileDevice::WriteOwner);
                      },
                      Outcome::Refused,
                      {}});
    return corpus;
}

}  // namespace lumetra::test
