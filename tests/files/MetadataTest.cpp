// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying a source photo's Exif, IPTC and XMP and its date over onto the
// saved file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cctype>
#include <exiv2/exiv2.hpp>

#include "files/ExifOrientation.h"
#include "files/FileTestTools.h"
#include "files/ImageReader.h"
#include "files/Jpeg2000.h"
#include "files/Metadata.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::ReadBytes;

// The properties as exiv2 reads them back from a file.
struct Properties {
    std::string make, dateTaken, caption, title;
    long orientation = -1, pixelWidth = -1, xmpOrientation = -1;
    bool readable = false;
};

template <class Data, class Key>
std::string Text(Data& data, const char* key) {
    const auto it = data.findKey(Key(key));
    return it == data.end() ? std::string() : it->toString();
}

template <class Data, class Key>
long Number(Data& data, const char* key) {
    const auto it = data.findKey(Key(key));
    return it == data.end() ? -1 : it->toLong();
}

Properties ReadProperties(const QString& path) {
    Properties p;
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        p.make = Text<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.Make");
        p.dateTaken = Text<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.DateTimeOriginal");
        p.orientation = Number<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.Orientation");
        p.pixelWidth = Number<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension");
        p.caption =
            Text<Exiv2::IptcData, Exiv2::IptcKey>(image->iptcData(), "Iptc.Application2.Caption");
        p.title = Text<Exiv2::XmpData, Exiv2::XmpKey>(image->xmpData(), "Xmp.dc.title");
        p.xmpOrientation =
            Number<Exiv2::XmpData, Exiv2::XmpKey>(image->xmpData(), "Xmp.tiff.Orientation");
        p.readable = true;
    } catch (const Exiv2::AnyError&) {
    }
    return p;
}

// The tags as exiftool reads them (numbers as numbers), and any warning
// it has about the file.
QJsonObject ReadWithExiftool(const QString& path) {
    bool ok = false;
    const QByteArray json =
        test::RunToolForBytes("exiftool",
                              {"-j", "-n", "-Make", "-DateTimeOriginal", "-Orientation",
                               "-XMP:Title", "-IPTC:Caption-Abstract", "-Warning", path},
                              &ok);
    EXPECT_TRUE(ok) << "exiftool could not read " << path.toStdString();
    return QJsonDocument::fromJson(json).array().at(0).toObject();
}

struct PngChunk {
    QByteArray type, data;
    bool crcMatches;
};

// The chunks of a PNG in their order; empty when the file is not a PNG
// whose chunks run whole to IEND.
std::vector<PngChunk> PngChunks(const QByteArray& png) {
    std::vector<PngChunk> chunks;
    if (!png.startsWith("\x89PNG\r\n\x1a\n")) return {};
    qsizetype at = 8;
    const auto u32 = [&png](qsizetype i) {
        return quint32(uchar(png[i])) << 24 | quint32(uchar(png[i + 1])) << 16 |
               quint32(uchar(png[i + 2])) << 8 | quint32(uchar(png[i + 3]));
    };
    while (png.size() - at >= 12) {
        const qsizetype length = u32(at);
        if (png.size() - at - 12 < length) return {};
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef*>(png.constData() + at + 4), uInt(length + 4)));
        chunks.push_back(
            {png.mid(at + 4, 4), png.mid(at + 8, length), crc == u32(at + 8 + length)});
        at += 12 + length;
        if (chunks.back().type == "IEND") return chunks;
    }
    return {};
}

class Metadata : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // A camera photo, turned on its side (Orientation 6), taken in 2001.
        source = test::WriteImageFile(dir, "camera.jpg", test::PhotoLike(64, 48), "jpeg");
        ASSERT_FALSE(source.isEmpty());
        auto image = Exiv2::ImageFactory::open(source.toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Lumetra Camera Works";
        exif["Exif.Image.Orientation"] = uint16_t(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2001:02:03 04:05:06";
        exif["Exif.Photo.PixelXDimension"] = uint32_t(4000);
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Caption"] = "Harbour at dawn";
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.title"] = "lang=\"x-default\" Harbour";
        xmp["Xmp.tiff.Orientation"] = "6";
        image->setExifData(exif);
        image->setIptcData(iptc);
        image->setXmpData(xmp);
        image->writeMetadata();
    }
    // Saves the picture and puts a far-off date on the saved file, so that
    // a carried-over date cannot be mistaken for the save's own.
    QString Save(int index, const QString& name) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(ImageTools::SaveImage(test::PhotoLike(40, 30), path, index, 0.8));
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        file.setFileTime(kFarOff, QFileDevice::FileModificationTime);
        return path;
    }
    const QDateTime kFarOff = QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9), Qt::UTC);
    QTemporaryDir dir;
    QString source;
};

struct HoldingCase {
    int index;
    const char* name;
    QByteArray magic;
};

class MetadataHeld : public Metadata, public ::testing::WithParamInterface<HoldingCase> {};

TEST_P(MetadataHeld, ExifIptcAndXmpGoOverWithTheOrientationMadeNormal) {
    const QString saved = Save(GetParam().index, GetParam().name);
    ASSERT_FALSE(ReadProperties(saved).make == "Lumetra Camera Works");
    test::StdoutCapture output;
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    EXPECT_EQ(output.Finish(), QString());

    const Properties p = ReadProperties(saved);
    ASSERT_TRUE(p.readable);
    EXPECT_EQ(p.make, "Lumetra Camera Works");
    EXPECT_EQ(p.dateTaken, "2001:02:03 04:05:06");
    EXPECT_EQ(p.orientation, 1);
    EXPECT_EQ(p.pixelWidth, 4000);  // every other entry goes over unchanged
    EXPECT_EQ(p.caption, "Harbour at dawn");
    EXPECT_EQ(p.title, "lang=\"x-default\" Harbour");
    EXPECT_EQ(p.xmpOrientation, 1);
    // Where other programs look for them too.
    const QJsonObject tool = ReadWithExiftool(saved);
    EXPECT_EQ(tool.value("Make").toString(), "Lumetra Camera Works");
    EXPECT_EQ(tool.value("DateTimeOriginal").toString(), "2001:02:03 04:05:06");
    EXPECT_EQ(tool.value("Orientation").toInt(), 1);
    EXPECT_EQ(tool.value("Title").toString(), "Harbour");
    EXPECT_EQ(tool.value("Caption-Abstract").toString(), "Harbour at dawn");
    EXPECT_FALSE(tool.contains("Warning")) << tool.value("Warning").toString().toStdString();

    // Still the same format and picture.
    EXPECT_TRUE(ReadBytes(saved).startsWith(GetParam().magic));
    EXPECT_EQ(test::DecodeFile(saved).size(), QSize(40, 30));
    EXPECT_EQ(test::Identify(saved).section(' ', 1), QStringLiteral("40 30"));
    EXPECT_EQ(test::FolderEntries(dir.path()).size(), 2);  // no temporary file left
    // And the source's date.
    EXPECT_EQ(test::ModifiedTime(saved).toSecsSinceEpoch(),
              ImageTools::ImageCreationDateWithPath(source).toSecsSinceEpoch());
}

INSTANTIATE_TEST_SUITE_P(JpegJp2PngTiff, MetadataHeld,
                         ::testing::Values(HoldingCase{0, "s.jpg", QByteArray("\xFF\xD8\xFF", 3)},
                                           HoldingCase{3, "s.jp2",
                                                       QByteArray("\x00\x00\x00\x0C\x6A\x50", 6)},
                                           HoldingCase{5, "s.png", QByteArray("\x89PNG", 4)},
                                           HoldingCase{6, "s.tiff", QByteArray("II*\x00", 4)}),
                         [](const auto& info) { return std::string(info.param.name).substr(2); });

TEST_F(Metadata, APngCarriesTheExifInOneEXifChunkBeforeItsPictureData) {
    const QString saved = Save(5, "s.png");
    const QImage before = test::DecodeFile(saved);
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);

    const std::vector<PngChunk> chunks = PngChunks(ReadBytes(saved));
    ASSERT_FALSE(chunks.empty()) << "not a whole PNG";
    int exifChunks = 0;
    bool pictureDataSeen = false;
    for (const PngChunk& chunk : chunks) {
        EXPECT_TRUE(chunk.crcMatches) << chunk.type.toStdString();
        if (chunk.type == "IDAT") pictureDataSeen = true;
        if (chunk.type == "eXIf") {
            ++exifChunks;
            EXPECT_FALSE(pictureDataSeen) << "eXIf after the picture data";
            // The TIFF structure itself, without the "Exif\0\0" of JPEG.
            EXPECT_TRUE(chunk.data.startsWith("MM\0*") || chunk.data.startsWith("II*\0"));
        }
        // No second copy in a text chunk that could disagree with it.
        if (chunk.type == "tEXt" || chunk.type == "zTXt" || chunk.type == "iTXt") {
            EXPECT_FALSE(chunk.data.startsWith("Raw profile type exif"))
                << chunk.type.toStdString();
            EXPECT_FALSE(chunk.data.startsWith("Raw profile type APP1"))
                << chunk.type.toStdString();
        }
    }
    EXPECT_EQ(exifChunks, 1);
    // Qt reads it as the same picture.
    const QImage after = test::DecodeFile(saved);
    ASSERT_FALSE(after.isNull());
    EXPECT_EQ(after.convertToFormat(QImage::Format_ARGB32),
              before.convertToFormat(QImage::Format_ARGB32));
}

class MetadataNotHeld : public Metadata, public ::testing::WithParamInterface<int> {};

TEST_P(MetadataNotHeld, TheFileStaysAsSavedButTakesTheDate) {
    const QString saved = Save(GetParam(), "s.img");
    const QByteArray before = ReadBytes(saved);
    test::StdoutCapture output;
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    EXPECT_EQ(output.Finish(), QString());
    EXPECT_EQ(ReadBytes(saved), before);
    EXPECT_EQ(CopyImageProperties(source, saved), PropertiesCopy::NotHeld);
    EXPECT_EQ(test::ModifiedTime(saved).toSecsSinceEpoch(),
              ImageTools::ImageCreationDateWithPath(source).toSecsSinceEpoch());
}

INSTANTIATE_TEST_SUITE_P(GifBmp, MetadataNotHeld, ::testing::Values(8, 9));

TEST_F(Metadata, ASourceThatIsGoneOrNoPictureChangesNothing) {
    const QString saved = Save(0, "s.jpg");
    const QByteArray before = ReadBytes(saved);
    ASSERT_TRUE(test::WriteBytes(dir.filePath("notes.jpg"), "not a picture at all\n"));
    for (const QString& from :
         {dir.filePath("deleted.jpg"), dir.filePath("notes.jpg"), dir.path()}) {
        test::StdoutCapture output;
        ImageTools::ChangeImageExifWithOriginalImagePath(from, saved);
        EXPECT_EQ(output.Finish(), QString());
        EXPECT_EQ(ReadBytes(saved), before) << from.toStdString();
        EXPECT_EQ(test::ModifiedTime(saved), kFarOff) << from.toStdString();
    }
}

TEST_F(Metadata, ASavedFileThatCannotBeReadIsLeftAlone) {
    ASSERT_TRUE(test::WriteBytes(dir.filePath("odd.jpg"), "\xFF\xD8\xFF garbage"));
    const QStringList before = test::FolderEntries(dir.path());
    ImageTools::ChangeImageExifWithOriginalImagePath(source, dir.filePath("odd.jpg"));
    ImageTools::ChangeImageExifWithOriginalImagePath(source, dir.filePath("gone.jpg"));
    EXPECT_EQ(ReadBytes(dir.filePath("odd.jpg")), QByteArray("\xFF\xD8\xFF garbage"));
    EXPECT_EQ(test::FolderEntries(dir.path()), before);
}

TEST_F(Metadata, ARewriteCutShortLeavesTheSavedFileAsItWas) {
    const QString saved = Save(5, "s.png");
    const QByteArray before = ReadBytes(saved);
    {
        // The rewrite adds the properties and so must grow the file.
        test::FileSizeLimit limit(before.size());
        EXPECT_EQ(CopyImageProperties(source, saved), PropertiesCopy::Failed);
        ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    }
    EXPECT_EQ(ReadBytes(saved), before);
    EXPECT_EQ(test::ModifiedTime(saved), kFarOff);  // stopped before the date
    EXPECT_EQ(test::FolderEntries(dir.path()).size(), 2);
}

TEST_F(Metadata, DamagedExifInTheSourceIsCaughtAndChangesNothing) {
    // A JPEG whose Exif segment claims more than it holds.
    QByteArray bytes = ReadBytes(source);
    const qsizetype exif = bytes.indexOf("Exif");
    ASSERT_GT(exif, 0);
    for (qsizetype i = exif + 14; i < exif + 60 && i < bytes.size(); ++i) bytes[i] = char(0xEE);
    ASSERT_TRUE(test::WriteBytes(source, bytes));
    const QString saved = Save(0, "s.jpg");
    EXPECT_NO_THROW(ImageTools::ChangeImageExifWithOriginalImagePath(source, saved));
    EXPECT_EQ(test::DecodeFile(saved).size(), QSize(40, 30));
}

// A picture stored on its side: blue with a red top-left quarter.
QImage StoredOnItsSide(bool deep) {
    QImage stored(64, 32, deep ? QImage::Format_RGBA64 : QImage::Format_RGB32);
    stored.fill(QColor(20, 60, 200));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) stored.setPixelColor(x, y, QColor(255, 0, 0));
    return stored;
}

// Which quarter of the picture is red: 0 top-left, 1 top-right, 2
// bottom-left, 3 bottom-right; -1 when none is.
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

// The pixels as the file stores them, not turned by any orientation.
QImage StoredPixels(const QString& path) {
    const QByteArray bytes = ReadBytes(path);
    if (LooksLikeJpeg2000(bytes)) return DecodeJpeg2000(bytes);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    return reader.read();
}

Exiv2::ExifData CameraExif(int orientation) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Lumetra Camera Works";
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    return exif;
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

struct OrientedCase {
    const char* name;  // of the source and the saved file
    int formatIndex;   // the format both are saved in
    ExifWriter writer;
    int orientation;  // in the source's Exif
    bool deep;        // 16 bits per channel
    bool turned;      // the reader sees the orientation and turns the pixels
};

class MetadataOrientation : public ::testing::TestWithParam<OrientedCase> {};

TEST_P(MetadataOrientation, TheReaderTurnsThePixelsAndTheSavedTagAgreesWithThem) {
    const OrientedCase c = GetParam();
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source-") + c.name);
    const QImage stored = StoredOnItsSide(c.deep);
    if (c.deep)
        ASSERT_TRUE(stored.save(source, "png"));
    else
        ASSERT_TRUE(ImageTools::SaveImage(stored, source, c.formatIndex, 1.0));
    if (c.writer == ExifWriter::PngChunk) {
        ASSERT_TRUE(AddExifChunk(source, CameraExif(c.orientation)));
    } else {
        auto image = Exiv2::ImageFactory::open(source.toStdString());
        image->readMetadata();
        image->setExifData(CameraExif(c.orientation));
        image->writeMetadata();
    }
    ASSERT_EQ(ReadProperties(source).orientation, c.orientation);

    // Shown upright where the reader sees the orientation, else as stored.
    const ReadResult read = ReadImageFile(source);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const QImage shown = read.image.toQImage();
    EXPECT_EQ(shown.size(), c.turned ? QSize(32, 64) : QSize(64, 32));
    EXPECT_EQ(RedQuarter(shown), c.turned ? 1 : 0);

    // Saved as the editor saves it, with the properties carried over.
    const QString saved = dir.filePath(c.name);
    ASSERT_TRUE(ImageTools::SaveImage(shown, saved, c.formatIndex, 1.0));
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    const Properties p = ReadProperties(saved);
    ASSERT_EQ(p.make, "Lumetra Camera Works");
    EXPECT_EQ(p.orientation, c.turned ? 1 : c.orientation);
    // The saved pixels are the ones shown, and a viewer that turns them by
    // the saved tag shows what it showed of the source.
    const QImage savedPixels = StoredPixels(saved);
    EXPECT_EQ(savedPixels.size(), shown.size());
    EXPECT_EQ(RedQuarter(savedPixels), RedQuarter(shown));
    const QImage viewed =
        ApplyExifOrientation(savedPixels.convertToFormat(QImage::Format_RGB32), int(p.orientation));
    const QImage sourceViewed =
        ApplyExifOrientation(stored.convertToFormat(QImage::Format_RGB32), c.orientation);
    EXPECT_EQ(viewed.size(), sourceViewed.size());
    EXPECT_EQ(RedQuarter(viewed), RedQuarter(sourceViewed));
}

INSTANTIATE_TEST_SUITE_P(
    JpegTiffPngJp2, MetadataOrientation,
    ::testing::Values(OrientedCase{"photo.jpg", 0, ExifWriter::Exiv2, 6, false, true},
                      OrientedCase{"scan.tiff", 6, ExifWriter::Exiv2, 6, false, true},
                      OrientedCase{"text-chunk.png", 5, ExifWriter::Exiv2, 6, false, true},
                      OrientedCase{"exif-chunk.png", 5, ExifWriter::PngChunk, 6, false, true},
                      OrientedCase{"deep.png", 5, ExifWriter::PngChunk, 6, true, true},
                      OrientedCase{"photo.jp2", 3, ExifWriter::Exiv2, 6, false, true},
                      OrientedCase{"nine.jpg", 0, ExifWriter::Exiv2, 9, false, false}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(CreationDate, IsTheBirthTimeElseTheModificationTimeElseNow) {
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
}

TEST(CreationDate, SettingItFailsOnlyWhereNeitherDateCanBeSet) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    ASSERT_TRUE(test::WriteBytes(path, "x"));
    const QDateTime past(QDate(1999, 12, 31), QTime(23, 59, 58), Qt::UTC);
    EXPECT_TRUE(SetFileDate(path, past));
    const QFileInfo info(path);
    EXPECT_TRUE(info.birthTime() == past || info.lastModified() == past);
    EXPECT_FALSE(SetFileDate(dir.filePath("missing"), past));
    EXPECT_FALSE(SetFileDate(path, QDateTime()));
}

}  // namespace
}  // namespace lumetra
