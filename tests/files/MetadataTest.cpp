// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying a source photo's Exif, IPTC and XMP and its date over onto the
// saved file.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <exiv2/exiv2.hpp>

#include "files/FileTestTools.h"
#include "files/Metadata.h"
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
