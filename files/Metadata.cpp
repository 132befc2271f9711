// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying the source's properties and date over onto a saved picture with
// exiv2. Every exiv2 call is made inside CopyImageProperties, and every
// exception it can throw ends there.
#include "files/Metadata.h"

#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <mutex>

#include "files/AtomicFile.h"
#include "files/AvifCodec.h"
#include "files/CodecReaders.h"
#include "files/ExifOrientation.h"
#include "files/ImageFiles.h"
#include "files/WebpCodec.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

void InitialiseExiv2Once() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The XMP toolkit must be set up once before any thread uses it,
        // and exiv2's warnings about odd files are no business of the user's.
        Exiv2::XmpParser::initialize();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

// Files are read here rather than by exiv2 so that a path is only ever a
// path (exiv2 would fetch names that look like web addresses) and so the
// saved file can be rewritten in memory.
bool ReadWholeFile(const QString& path, QByteArray* bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError && !bytes->isEmpty();
}

// exiv2's pointer type is not named: before 0.28 it is a std::auto_ptr,
// deprecated by name.
auto OpenInMemory(const QByteArray& bytes) {
    return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.constData()),
                                     long(bytes.size()));
}

bool HoldsProperties(int imageType) {
    return imageType == Exiv2::ImageType::jpeg || imageType == Exiv2::ImageType::png ||
           imageType == Exiv2::ImageType::tiff || imageType == Exiv2::ImageType::jp2;
}

// The reader turned the source's pixels upright and the saved pixels are
// upright too, so the orientation that went with the source's pixels would
// turn them a second time in every viewer.
void SetOrientationNormal(Exiv2::ExifData* exif, Exiv2::XmpData* xmp) {
    const Exiv2::ExifKey exifKey("Exif.Image.Orientation");
    if (exif->findKey(exifKey) != exif->end()) (*exif)["Exif.Image.Orientation"] = uint16_t(1);
    const Exiv2::XmpKey xmpKey("Xmp.tiff.Orientation");
    if (xmp->findKey(xmpKey) != xmp->end()) (*xmp)["Xmp.tiff.Orientation"] = "1";
}

std::uint32_t Big32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
}

void AppendBig32(QByteArray* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->append(char(value >> shift & 0xFF));
}

// The PNG with the Exif block (a TIFF structure, without the "Exif\0\0" of
// a JPEG segment) in one eXIf chunk just before the first IDAT, where
// browsers and viewers look for it; an eXIf chunk it held is dropped, and
// no chunk is added for an empty block. Empty when the chunks cannot be
// walked.
QByteArray WithExifChunk(const QByteArray& png, const QByteArray& exif) {
    constexpr qsizetype kSignature = 8;
    if (png.size() < kSignature) return {};
    QByteArray out = png.left(kSignature);
    out.reserve(png.size() + exif.size() + 12);
    bool placed = exif.isEmpty();
    qsizetype at = kSignature;
    while (true) {
        if (png.size() - at < 12) return {};
        const qsizetype length = Big32(png.constData() + at);
        if (length > 0x7FFFFFFF || png.size() - at - 12 < length) return {};
        const char* type = png.constData() + at + 4;
        if (!placed && std::memcmp(type, "IDAT", 4) == 0) {
            AppendBig32(&out, std::uint32_t(exif.size()));
            const qsizetype start = out.size();
            out.append("eXIf", 4);
            out.append(exif);
            const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start),
                                    uInt(out.size() - start));  // over the type and the data
            AppendBig32(&out, std::uint32_t(crc));
            placed = true;
        }
        if (std::memcmp(type, "eXIf", 4) != 0) out.append(png.constData() + at, 12 + length);
        at += 12 + length;
        if (std::memcmp(type, "IEND", 4) == 0) break;
    }
    if (!placed) return {};
    out.append(png.constData() + at, png.size() - at);
    return out;
}

struct SourceProperties {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    Exiv2::ByteOrder order = Exiv2::littleEndian;
};

// The properties of the source file: HEIF, AVIF, WebP and JPEG XL files
// keep theirs in boxes and chunks that their own libraries hand out (the
// exiv2 of Debian 12 reads none of them but WebP); JPEG, PNG, TIFF, JPEG
// 2000 and camera raw files are read by exiv2.
bool ReadSourceProperties(const QString& sourcePath, const QByteArray& sourceBytes,
                          SourceProperties* properties) {
    const CodecFormat codec = CodecFormatOf(sourceBytes.left(64), sourcePath);
    if (codec != CodecFormat::None && codec != CodecFormat::Raw) {
        const EmbeddedProperties embedded = CodecProperties(codec, sourceBytes);
        if (!embedded.exif.isEmpty()) {
            const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(
                properties->exif, reinterpret_cast<const Exiv2::byte*>(embedded.exif.constData()),
                uint32_t(embedded.exif.size()));
            if (order != Exiv2::invalidByteOrder) properties->order = order;
        }
        if (!embedded.xmp.isEmpty())
            Exiv2::XmpParser::decode(properties->xmp, embedded.xmp.toStdString());
    } else {
        const auto source = OpenInMemory(sourceBytes);
        if (!source.get()) return false;
        source->readMetadata();
        properties->exif = source->exifData();
        properties->iptc = source->iptcData();
        properties->xmp = source->xmpData();
        if (source->byteOrder() != Exiv2::invalidByteOrder) properties->order = source->byteOrder();
    }
    // The orientation the reader turned the source's pixels by: where it
    // turned them, the saved pixels are upright; where it did not (no
    // orientation it can see), they are as stored, and the tag still says
    // how to turn them. The formats read through their own libraries are
    // always shown upright (by their Exif, their rotation and mirror boxes
    // or a raw file's flip), so their saved pixels are too.
    if (codec != CodecFormat::None || SourceOrientation(sourceBytes) != 1)
        SetOrientationNormal(&properties->exif, &properties->xmp);
    return true;
}

QByteArray ExifBlock(const SourceProperties& properties) {
    Exiv2::Blob block;
    if (!properties.exif.empty())
        Exiv2::ExifParser::encode(block, properties.order, properties.exif);
    return QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
}

QByteArray XmpPacket(const SourceProperties& properties) {
    std::string packet;
    if (properties.xmp.empty() || Exiv2::XmpParser::encode(packet, properties.xmp) != 0) return {};
    return QByteArray::fromStdString(packet);
}

PropertiesCopy CopyWithExiv2(const QString& sourcePath, const QString& savedPath) {
    QByteArray sourceBytes;
    if (!ReadWholeFile(sourcePath, &sourceBytes)) return PropertiesCopy::Failed;
    SourceProperties properties;
    if (!ReadSourceProperties(sourcePath, sourceBytes, &properties)) return PropertiesCopy::Failed;
    Exiv2::ExifData& exif = properties.exif;
    Exiv2::IptcData& iptc = properties.iptc;
    Exiv2::XmpData& xmp = properties.xmp;

    QByteArray savedBytes;
    if (!ReadWholeFile(savedPath, &savedBytes)) return PropertiesCopy::Failed;
    // WebP and AVIF files get their Exif and XMP through the codecs' own
    // containers (IPTC has no place in either).
    const CodecFormat savedCodec = CodecFormatOf(savedBytes.left(64), savedPath);
    if (savedCodec == CodecFormat::Webp || savedCodec == CodecFormat::Avif) {
        const QByteArray block = ExifBlock(properties);
        const QByteArray packet = XmpPacket(properties);
        const QByteArray bytes = savedCodec == CodecFormat::Webp
                                     ? WebpWithProperties(savedBytes, block, packet)
                                     : AvifWithProperties(savedBytes, block, packet);
        if (bytes.isEmpty()) return PropertiesCopy::Failed;
        return WriteFileAtomically(savedPath, bytes) ? PropertiesCopy::Copied
                                                     : PropertiesCopy::Failed;
    }
    const auto saved = OpenInMemory(savedBytes);
    if (!saved.get()) return PropertiesCopy::Failed;
    if (!HoldsProperties(saved->imageType())) return PropertiesCopy::NotHeld;

    saved->readMetadata();
    // exiv2 puts a PNG's Exif in a text chunk ("Raw profile type exif")
    // that few programs read; it gets none, and drops any such chunk, and
    // the Exif goes into the standard eXIf chunk below instead, its one
    // copy. IPTC and XMP keep their usual chunks.
    const bool png = saved->imageType() == Exiv2::ImageType::png;
    saved->setExifData(png ? Exiv2::ExifData() : exif);
    saved->setIptcData(iptc);
    saved->setXmpData(xmp);
    saved->writeMetadata();  // into exiv2's copy in memory

    Exiv2::BasicIo& io = saved->io();
    if (io.open() != 0) return PropertiesCopy::Failed;
    const Exiv2::DataBuf rewritten = io.read(io.size());
    io.close();
    if (rewritten.size_ <= 0 || rewritten.pData_ == nullptr) return PropertiesCopy::Failed;
    QByteArray bytes(reinterpret_cast<const char*>(rewritten.pData_), rewritten.size_);
    if (png) {
        bytes = WithExifChunk(bytes, ExifBlock(properties));
        if (bytes.isEmpty()) return PropertiesCopy::Failed;
    }
    return WriteFileAtomically(savedPath, bytes) ? PropertiesCopy::Copied : PropertiesCopy::Failed;
}

}  // namespace

PropertiesCopy CopyImageProperties(const QString& sourcePath, const QString& savedPath) {
    InitialiseExiv2Once();
    try {
        return CopyWithExiv2(sourcePath, savedPath);
    } catch (const Exiv2::AnyError&) {
        return PropertiesCopy::Failed;
    } catch (const std::exception&) {
        return PropertiesCopy::Failed;
    } catch (...) {
        return PropertiesCopy::Failed;
    }
}

bool SetFileDate(const QString& path, const QDateTime& date) {
    if (!date.isValid()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (file.setFileTime(date, QFileDevice::FileBirthTime)) return true;
    return file.setFileTime(date, QFileDevice::FileModificationTime);
}

QDateTime ImageTools::ImageCreationDateWithPath(const QString& path) {
    const QFileInfo info(path);
    if (info.exists()) {
        const QDateTime birth = info.birthTime();
        if (birth.isValid()) return birth;
        const QDateTime modified = info.lastModified();
        if (modified.isValid()) return modified;
    }
    return QDateTime::currentDateTime();
}

void ImageTools::ChangeImageExifWithOriginalImagePath(const QString& sourcePath,
                                                      const QString& savedPath) {
    const QDateTime date = ImageCreationDateWithPath(sourcePath);
    if (CopyImageProperties(sourcePath, savedPath) == PropertiesCopy::Failed) return;
    if (!SetFileDate(savedPath, date)) {
        std::fputs("ERROR\n", stdout);
        std::fflush(stdout);
    }
}

}  // namespace lumetra
