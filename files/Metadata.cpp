// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying the source's properties and date over onto a saved picture with
// exiv2. Every exiv2 call is made inside CopyImageProperties, and every
// exception it can throw ends there.
#include "files/Metadata.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <mutex>

#include "files/AtomicFile.h"
#include "files/ExifOrientation.h"
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

Exiv2::Image::AutoPtr OpenInMemory(const QByteArray& bytes) {
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

PropertiesCopy CopyWithExiv2(const QString& sourcePath, const QString& savedPath) {
    QByteArray sourceBytes;
    if (!ReadWholeFile(sourcePath, &sourceBytes)) return PropertiesCopy::Failed;
    Exiv2::Image::AutoPtr source = OpenInMemory(sourceBytes);
    if (!source.get()) return PropertiesCopy::Failed;
    source->readMetadata();
    Exiv2::ExifData exif = source->exifData();
    Exiv2::IptcData iptc = source->iptcData();
    Exiv2::XmpData xmp = source->xmpData();
    // The orientation the reader turned the source's pixels by: where it
    // turned them, the saved pixels are upright; where it did not (no
    // orientation it can see), they are as stored, and the tag still says
    // how to turn them.
    if (SourceOrientation(sourceBytes) != 1) SetOrientationNormal(&exif, &xmp);

    QByteArray savedBytes;
    if (!ReadWholeFile(savedPath, &savedBytes)) return PropertiesCopy::Failed;
    Exiv2::Image::AutoPtr saved = OpenInMemory(savedBytes);
    if (!saved.get()) return PropertiesCopy::Failed;
    if (!HoldsProperties(saved->imageType())) return PropertiesCopy::NotHeld;

    saved->readMetadata();
    saved->setExifData(exif);
    saved->setIptcData(iptc);
    saved->setXmpData(xmp);
    saved->writeMetadata();  // into exiv2's copy in memory

    Exiv2::BasicIo& io = saved->io();
    if (io.open() != 0) return PropertiesCopy::Failed;
    const Exiv2::DataBuf rewritten = io.read(io.size());
    io.close();
    if (rewritten.size_ <= 0 || rewritten.pData_ == nullptr) return PropertiesCopy::Failed;
    const QByteArray bytes(reinterpret_cast<const char*>(rewritten.pData_), rewritten.size_);
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
