// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a picture: the ten formats of the pop-up, the pixel size, quality,
// and never losing the file that stood at the path.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cmath>

#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::FolderEntries;
using test::ReadBytes;

struct FormatCase {
    int index;
    const char* extension;
    QByteArray magic;      // the file's first bytes
    const char* identify;  // ImageMagick's name of the format (BMP3: the common header)
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) {
    return out << c.index << " (" << c.extension << ")";
}

const QByteArray kJpegMagic("\xFF\xD8\xFF", 3);
const QByteArray kJp2Magic("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A", 12);
const QByteArray kPngMagic("\x89PNG\r\n\x1A\n", 8);
const QByteArray kTiffMagic("II*\x00", 4);

const FormatCase kFormats[] = {
    {0, "jpg", kJpegMagic, "JPEG"},
    {1, "jpeg", kJpegMagic, "JPEG"},
    {2, "jpe", kJpegMagic, "JPEG"},
    {3, "jp2", kJp2Magic, "JP2"},
    {4, "jpx", kJp2Magic, "JP2"},
    {5, "png", kPngMagic, "PNG"},
    {6, "tiff", kTiffMagic, "TIFF"},
    {7, "tif", kTiffMagic, "TIFF"},
    {8, "gif", QByteArray("GIF89a"), "GIF"},
    {9, "bmp", QByteArray("BM"), "BMP3"},
    {10, "webp", QByteArray("RIFF"), "WEBP"},
    {11, "avif", QByteArray("ftypavif"), "HEIC"},  // after the ftyp box's size
};

class SaveFormats : public ::testing::TestWithParam<FormatCase> {
protected:
    QTemporaryDir dir;
};

TEST_P(SaveFormats, WritesAFileThatOtherProgramsReadAtItsSize) {
    const FormatCase& c = GetParam();
    const QString path = dir.filePath(QStringLiteral("out.") + c.extension);
    ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(61, 37, true), path, c.index, 0.8));

    const QByteArray bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.startsWith(c.magic) || bytes.mid(4).startsWith(c.magic))
        << bytes.left(12).toHex().toStdString();
    EXPECT_EQ(test::DecodeFile(path).size(), QSize(61, 37));
    EXPECT_EQ(test::Identify(path), QStringLiteral("%1 61 37").arg(c.identify));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("out.") + c.extension});

    bool ok = false;
    if (c.index == 3 || c.index == 4) {
        const QString dump = test::RunTool("opj_dump", {"-i", path}, &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(dump.contains("x1=61, y1=37")) << dump.left(400).toStdString();
    }
    if (c.index == 8) {
        const QString text = test::RunTool("giftext", {path}, &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(text.contains("Width = 61, Height = 37")) << text.left(400).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryIndex, SaveFormats, ::testing::ValuesIn(kFormats));

TEST(SaveSize, IsThePictureSizeInPointsWithFractionsCutOff) {
    QTemporaryDir dir;
    const struct {
        QSize pixels;
        double ratio;  // device pixels per point
        QSize file;
    } cases[] = {
        {{40, 30}, 1.0, {40, 30}},
        {{1007, 503}, 10.0, {100, 50}},  // 100.7 x 50.3 points
        {{81, 41}, 2.0, {40, 20}},       // 40.5 x 20.5 points
        {{30, 20}, 0.5, {60, 40}},       // drawn twice as large
    };
    for (const auto& c : cases) {
        QImage image = test::PhotoLike(c.pixels.width(), c.pixels.height());
        image.setDevicePixelRatio(c.ratio);
        const QString path = dir.filePath("sized.png");
        ASSERT_TRUE(ImageTools::SaveImage(image, path, 5, 0.8)) << c.ratio;
        EXPECT_EQ(test::DecodeFile(path).size(), c.file) << c.ratio;
    }
}

TEST(SaveSize, ASizeBelowOnePixelOrNotANumberWritesNothing) {
    QTemporaryDir dir;
    const double nan = std::nan("");
    const struct {
        QSize pixels;
        double ratio;
    } cases[] = {
        {{0, 0}, 1.0},       // no picture at all
        {{1, 10}, 2.0},      // half a point wide
        {{10, 1}, 1.5},      // two thirds of a point high
        {{10, 10}, nan},     // a size that is not a number
        {{10, 10}, 1e-300},  // beyond any integer
        {{100, 100}, 1e-3},  // 100000 x 100000: refused before drawing
    };
    for (const auto& c : cases) {
        QImage image =
            c.pixels.isEmpty() ? QImage() : test::PhotoLike(c.pixels.width(), c.pixels.height());
        if (!image.isNull()) image.setDevicePixelRatio(c.ratio);
        for (int index : {0, 3, 5, 8}) {
            EXPECT_FALSE(ImageTools::SaveImage(image, dir.filePath("none.jpg"), index, 0.8))
                << c.pixels.width() << "x" << c.pixels.height() << " / " << c.ratio;
        }
        EXPECT_TRUE(FolderEntries(dir.path()).isEmpty());
    }
}

TEST(SaveSize, StretchedPicturesFillTheFile) {
    // A 2:1 picture red on the left, blue on the right, drawn at 1:1.
    QImage image(200, 100, QImage::Format_RGBA8888);
    image.fill(Qt::blue);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) image.setPixelColor(x, y, Qt::red);
    image.setDevicePixelRatio(2.0);  // 100 x 50 points
    QTemporaryDir dir;
    ASSERT_TRUE(ImageTools::SaveImage(image, dir.filePath("half.png"), 5, 0.8));
    const QImage saved = test::DecodeFile(dir.filePath("half.png"));
    ASSERT_EQ(saved.size(), QSize(100, 50));
    EXPECT_EQ(saved.pixelColor(10, 25), QColor(Qt::red));
    EXPECT_EQ(saved.pixelColor(90, 25), QColor(Qt::blue));
}

TEST(SaveQuality, AHigherFactorGivesALargerJpegAndJpeg2000) {
    QTemporaryDir dir;
    const QImage photo = test::PhotoLike(256, 192);
    for (int index : {0, 3}) {
        qint64 previous = 0;
        for (double quality : {0.0, 0.3, 0.6, 0.8, 1.0}) {
            const QString path = dir.filePath(QStringLiteral("q%1.%2").arg(quality).arg(index));
            ASSERT_TRUE(ImageTools::SaveImage(photo, path, index, quality));
            const qint64 size = QFileInfo(path).size();
            EXPECT_GT(size, previous) << "index " << index << " quality " << quality;
            previous = size;
        }
    }
}

// The quantisation tables (DQT segments) of a JPEG file, which its quality
// setting decides.
QByteArray QuantisationTables(const QByteArray& jpeg) {
    QByteArray tables;
    for (qsizetype at = 2; at + 4 <= jpeg.size();) {
        if (uchar(jpeg[at]) != 0xFF) break;
        const uchar marker = uchar(jpeg[at + 1]);
        const int length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        if (marker == 0xDB) tables += jpeg.mid(at + 4, length - 2);
        if (marker == 0xDA) break;  // the picture data starts
        at += 2 + length;
    }
    return tables;
}

TEST(SaveQuality, TheSliderFactorIsJpegQuality) {
    // The slider's 80 arrives as 0.8 in single precision, widened; the file
    // has the tables an IJG encoder (here Qt's writer) uses at quality 80.
    QTemporaryDir dir;
    const QImage photo = test::PhotoLike(128, 96);
    for (int quality : {80, 35, 100}) {
        const QString path = dir.filePath(QStringLiteral("q%1.jpg").arg(quality));
        ASSERT_TRUE(ImageTools::SaveImage(photo, path, 0, double(float(quality) / 100.f)));
        QByteArray reference;
        QBuffer buffer(&reference);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        ASSERT_TRUE(writer.write(photo));
        const QByteArray tables = QuantisationTables(ReadBytes(path));
        EXPECT_EQ(tables.size(), 2 * 65);  // luma and chroma, 8-bit entries
        EXPECT_EQ(tables, QuantisationTables(reference)) << quality;
    }
}

TEST(SaveQuality, OnlyTheJpegFamiliesNeedAFactorThatIsANumber) {
    QTemporaryDir dir;
    const QImage photo = test::PhotoLike(16, 16);
    const double nan = std::nan("");
    for (int index = 0; index <= 9; ++index) {
        const QString path = dir.filePath(QStringLiteral("n%1").arg(index));
        EXPECT_EQ(ImageTools::SaveImage(photo, path, index, nan), index > 4) << index;
        EXPECT_EQ(QFileInfo::exists(path), index > 4) << index;
    }
    // PNG ignores the factor: the same bytes whatever it is.
    ImageTools::SaveImage(photo, dir.filePath("p1.png"), 5, 0.1);
    ImageTools::SaveImage(photo, dir.filePath("p2.png"), 5, 1.0);
    EXPECT_EQ(ReadBytes(dir.filePath("p1.png")), ReadBytes(dir.filePath("p2.png")));
}

}  // namespace
}  // namespace lumetra
