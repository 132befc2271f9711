// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying a source photo's Exif, IPTC and XMP and its date over onto the
// saved file, from and to every format that holds them, read back by
// exiftool: the orientation made normal where the reader turned the pixels
// upright, the pixels saved as shown. Sources with lying Exif blocks are in
// the hostile corpus, a properties rewrite cut short in the failing saves
// (tests/robustness).
#include <gtest/gtest.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <exiv2/exiv2.hpp>

#include "files/ExifOrientation.h"
#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "files/Metadata.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::ReadBytes;

// The tags as exiftool reads them, numbers as numbers, keyed by group
// ("EXIF:Make"), and any warning it has about the file.
QJsonObject ReadWithExiftool(const QString& path) {
    bool ok = false;
    const QByteArray json =
        test::RunTool("exiftool",
                      {"-j", "-n", "-G", "-EXIF:Make", "-EXIF:DateTimeOriginal",
                       "-EXIF:Orientation", "-EXIF:ExifImageWidth", "-XMP:Orientation",
                       "-XMP:Title", "-IPTC:Caption-Abstract", "-Warning", path},
                      &ok);
    EXPECT_TRUE(ok) << "exiftool could not read " << path.toStdString();
    return QJsonDocument::fromJson(json).array().at(0).toObject();
}

void AppendBig32(QByteArray* out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->append(char(value >> shift & 0xFF));
}

// Puts an eXIf chunk (big-endian Exif) before the PNG's first IDAT.
bool AddExifChunk(const QString& path, const Exiv2::ExifData& exif) {
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, exif);
    QByteArray png = ReadBytes(path);
    const qsizetype idat = png.indexOf("IDAT") - 4;
    if (idat < 8 || blob.empty()) return false;
    QByteArray chunk;
    AppendBig32(&chunk, quint32(blob.size()));
    chunk +=
        "eXIf" + QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
    AppendBig32(&chunk, quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData() + 4),
                                      uInt(chunk.size() - 4))));
    return test::WriteBytes(path, png.insert(idat, chunk));
}

enum class ExifWriter { Exiv2, PngChunk };

struct CarryCase {
    const char* label;
    int sourceIndex;  // the format the source is saved in
    ExifWriter writer;
    int orientation;  // in the source's Exif
    bool deep;        // a source of 16 bits per channel
    int savedIndex;   // the format the editor saves in
};

class CarryOver : public ::testing::TestWithParam<CarryCase> {};

TEST_P(CarryOver, ThePropertiesAndTheDateGoOverAndTheSavedTagAgreesWithThePixels) {
    const CarryCase c = GetParam();
    // The reader sees orientations 1 to 8; GIF and BMP hold no properties.
    const bool turned = c.orientation >= 2 && c.orientation <= 8;
    const bool held = c.savedIndex != 8 && c.savedIndex != 9;
    const bool fromJpeg = c.sourceIndex == 0;  // a camera's photo, with IPTC and XMP too
    QTemporaryDir dir;
    const QString source = dir.filePath("source");
    const QImage stored = test::StoredOnItsSide(c.deep);
    ASSERT_TRUE(c.deep ? stored.save(source, "png")
                       : ImageTools::SaveImage(stored, source, c.sourceIndex, 1.0));
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Lumetra Camera Works";
    exif["Exif.Image.Orientation"] = uint16_t(c.orientation);
    exif["Exif.Photo.DateTimeOriginal"] = "2001:02:03 04:05:06";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(4000);
    if (c.writer == ExifWriter::PngChunk) {
        ASSERT_TRUE(AddExifChunk(source, exif));
    } else {
        auto image = Exiv2::ImageFactory::open(source.toStdString());
        image->readMetadata();
        image->setExifData(exif);
        if (fromJpeg) {
            Exiv2::IptcData iptc;
            iptc["Iptc.Application2.Caption"] = "Harbour at dawn";
            Exiv2::XmpData xmp;
            xmp["Xmp.dc.title"] = "lang=\"x-default\" Harbour";
            xmp["Xmp.tiff.Orientation"] = std::to_string(c.orientation);
            image->setIptcData(iptc);
            image->setXmpData(xmp);
        }
        image->writeMetadata();
    }
    ASSERT_EQ(ReadWithExiftool(source).value("EXIF:Orientation").toInt(), c.orientation);

    // Shown upright where the reader sees the orientation, else as stored.
    const ReadResult read = ReadImageFile(source);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const QImage shown = read.image.toQImage();
    EXPECT_EQ(shown.size(), turned ? QSize(32, 64) : QSize(64, 32));
    EXPECT_EQ(test::RedQuarter(shown), turned ? 1 : 0);

    // Saved as the editor saves it, dated far off so that a carried-over
    // date cannot be mistaken for the save's own, then carried over.
    const QString saved = dir.filePath("saved");
    ASSERT_TRUE(ImageTools::SaveImage(shown, saved, c.savedIndex, 1.0));
    {
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9), Qt::UTC),
                                     QFileDevice::FileModificationTime));
    }
    const QByteArray before = ReadBytes(saved);
    test::StdoutCapture output;
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    EXPECT_EQ(output.Finish(), QString());
    EXPECT_EQ(QFileInfo(saved).lastModified().toSecsSinceEpoch(),
              ImageTools::ImageCreationDateWithPath(source).toSecsSinceEpoch());
    EXPECT_EQ(test::FolderEntries(dir.path()), QStringList({"saved", "source"}));
    if (!held) {
        EXPECT_EQ(ReadBytes(saved), before);
        EXPECT_EQ(CopyImageProperties(source, saved), PropertiesCopy::NotHeld);
        return;
    }

    const QJsonObject tags = ReadWithExiftool(saved);
    EXPECT_EQ(tags.value("EXIF:Make").toString(), "Lumetra Camera Works");
    EXPECT_EQ(tags.value("EXIF:DateTimeOriginal").toString(), "2001:02:03 04:05:06");
    EXPECT_EQ(tags.value("EXIF:ExifImageWidth").toInt(), 4000);  // every other entry unchanged
    const int orientation = turned ? 1 : c.orientation;
    EXPECT_EQ(tags.value("EXIF:Orientation").toInt(), orientation);
    if (fromJpeg) {
        EXPECT_EQ(tags.value("XMP:Orientation").toInt(), orientation);
        EXPECT_EQ(tags.value("XMP:Title").toString(), "Harbour");
        EXPECT_EQ(tags.value("IPTC:Caption-Abstract").toString(), "Harbour at dawn");
    }
    EXPECT_FALSE(tags.contains("ExifTool:Warning"))
        << tags.value("ExifTool:Warning").toString().toStdString();

    // The saved pixels are the ones shown, and a viewer that turns them by
    // the saved tag shows what it showed of the source.
    const QImage savedPixels = test::DecodeFile(saved);  // as stored, not turned
    EXPECT_EQ(savedPixels.size(), shown.size());
    EXPECT_EQ(test::RedQuarter(savedPixels), test::RedQuarter(shown));
    const QImage viewed =
        ApplyExifOrientation(savedPixels.convertToFormat(QImage::Format_RGB32), orientation);
    const QImage sourceViewed =
        ApplyExifOrientation(stored.convertToFormat(QImage::Format_RGB32), c.orientation);
    EXPECT_EQ(viewed.size(), sourceViewed.size());
    EXPECT_EQ(test::RedQuarter(viewed), test::RedQuarter(sourceViewed));

    if (c.savedIndex != 5) return;
    // A PNG whole, every chunk with its CRC, its Exif in one eXIf chunk
    // (before the picture data, or exiftool warns) and in no text chunk.
    const QByteArray png = ReadBytes(saved);
    qsizetype at = 8;
    for (qsizetype length = 0; at + 12 <= png.size(); at += 12 + length) {
        length = qFromBigEndian<quint32>(png.constData() + at);
        ASSERT_LE(at + 12 + length, png.size());
        const auto* chunk = reinterpret_cast<const Bytef*>(png.constData() + at + 4);
        EXPECT_EQ(qFromBigEndian<quint32>(chunk + 4 + length), crc32(0, chunk, uInt(length + 4)))
            << png.mid(at + 4, 4).toStdString();
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(png.count("eXIf"), 1);
    EXPECT_FALSE(png.contains("Raw profile type exif") || png.contains("Raw profile type APP1"));
}

INSTANTIATE_TEST_SUITE_P(
    SourceToSaved, CarryOver,
    ::testing::Values(CarryCase{"JpegToJpeg", 0, ExifWriter::Exiv2, 6, false, 0},
                      CarryCase{"JpegToJpeg2000", 0, ExifWriter::Exiv2, 6, false, 3},
                      CarryCase{"JpegToPng", 0, ExifWriter::Exiv2, 6, false, 5},
                      CarryCase{"JpegToTiff", 0, ExifWriter::Exiv2, 6, false, 6},
                      CarryCase{"JpegToGif", 0, ExifWriter::Exiv2, 6, false, 8},
                      CarryCase{"JpegToBmp", 0, ExifWriter::Exiv2, 6, false, 9},
                      CarryCase{"TiffToTiff", 6, ExifWriter::Exiv2, 6, false, 6},
                      CarryCase{"PngTextChunkToPng", 5, ExifWriter::Exiv2, 6, false, 5},
                      CarryCase{"PngExifChunkToPng", 5, ExifWriter::PngChunk, 6, false, 5},
                      CarryCase{"DeepPngToPng", 5, ExifWriter::PngChunk, 6, true, 5},
                      CarryCase{"Jpeg2000ToJpeg2000", 3, ExifWriter::Exiv2, 6, false, 3},
                      CarryCase{"Orientation9JpegToJpeg", 0, ExifWriter::Exiv2, 9, false, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CreationDate, IsTheBirthTimeElseTheModificationTimeElseNowAndIsSetWherePossible) {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.jpg");
    ASSERT_TRUE(test::WriteBytes(path, "x"));
    const QDateTime past(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const QDateTime birth = QFileInfo(path).birthTime();
    EXPECT_EQ(ImageTools::ImageCreationDateWithPath(path), birth.isValid() ? birth : past);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const QDateTime missing = ImageTools::ImageCreationDateWithPath(dir.filePath("none"));
    EXPECT_GE(missing, before);
    EXPECT_LE(missing, QDateTime::currentDateTime().addSecs(1));

    const QDateTime earlier(QDate(1999, 12, 31), QTime(23, 59, 58), Qt::UTC);
    EXPECT_TRUE(SetFileDate(path, earlier));
    const QFileInfo info(path);
    EXPECT_TRUE(info.birthTime() == earlier || info.lastModified() == earlier);
    EXPECT_FALSE(SetFileDate(dir.filePath("missing"), earlier));
    EXPECT_FALSE(SetFileDate(path, QDateTime()));
}

}  // namespace
}  // namespace lumetra
