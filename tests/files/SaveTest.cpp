// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a picture: the ten formats of the pop-up, what each keeps of the
// pixels, the quality factor (JPEG's tables, JPEG 2000's compression
// ratio), the pixel size, GIF's palette and clear pixels, and replacing the
// file that stood at the path. Saves that fail
// are in tests/robustness/FailingSaveTest.cpp.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cmath>

#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/Jpeg2000.h"
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
    bool sameEncoderAsTheRowBefore;
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) {
    return out << c.index << " (" << c.extension << ")";
}

const QByteArray kJpegMagic("\xFF\xD8\xFF", 3);
const QByteArray kJp2Magic("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A", 12);
const QByteArray kTiffMagic("II*\x00", 4);

const FormatCase kFormats[] = {
    {0, "jpg", kJpegMagic, "JPEG", false},  {1, "jpeg", kJpegMagic, "JPEG", true},
    {2, "jpe", kJpegMagic, "JPEG", true},   {3, "jp2", kJp2Magic, "JP2", false},
    {4, "jpx", kJp2Magic, "JP2", true},     {5, "png", "\x89PNG\r\n\x1A\n", "PNG", false},
    {6, "tiff", kTiffMagic, "TIFF", false}, {7, "tif", kTiffMagic, "TIFF", true},
    {8, "gif", "GIF89a", "GIF", false},     {9, "bmp", "BM", "BMP3", false},
};

// A photo whose left quarter is fully transparent, the next quarter half
// transparent, the rest opaque.
QImage WithTransparentStrips(int width, int height) {
    QImage image = test::PhotoLike(width, height).convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width / 2; ++x) line[4 * x + 3] = x < width / 4 ? 0 : 128;
    }
    return image;
}

// Peak signal-to-noise ratio of the colour channels, in dB.
double Psnr(const QImage& a, const QImage& b) {
    const QImage p = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage q = b.convertToFormat(QImage::Format_RGBA8888);
    double sum = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = p.constScanLine(y)[4 * x + c] - q.constScanLine(y)[4 * x + c];
                sum += d * d;
            }
    const double mse = sum / (3.0 * p.width() * p.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

class SaveFormats : public ::testing::TestWithParam<FormatCase> {
  protected:
    QByteArray Saved(const QImage& picture, int index) {
        const QString path = dir.filePath("saved");
        return ImageTools::SaveImage(picture, path, index, 0.8) ? ReadBytes(path) : QByteArray();
    }
    QImage SaveAndRead(const QImage& image, const char* name, double quality = 0.8) {
        const QString path = dir.filePath(name);
        if (!ImageTools::SaveImage(image, path, GetParam().index, quality)) return {};
        return test::DecodeFile(path).convertToFormat(QImage::Format_RGBA8888);
    }
    QTemporaryDir dir;
};

TEST_P(SaveFormats, WriteAFileThatOtherProgramsReadAndKeepWhatTheFormatHolds) {
    const FormatCase& c = GetParam();
    const QString name = QStringLiteral("out.") + c.extension;
    ASSERT_TRUE(
        ImageTools::SaveImage(test::PhotoLike(61, 37, true), dir.filePath(name), c.index, 0.8));
    const QByteArray bytes = ReadBytes(dir.filePath(name));
    EXPECT_TRUE(bytes.startsWith(c.magic)) << bytes.left(12).toHex().toStdString();
    EXPECT_EQ(test::DecodeFile(dir.filePath(name)).size(), QSize(61, 37));
    EXPECT_EQ(test::Identify(dir.filePath(name)), QStringLiteral("%1 61 37").arg(c.identify));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{name});
    if (c.sameEncoderAsTheRowBefore) return;

    // The JPEG families grow with the factor and need it to be a number;
    // the other formats write the same bytes whatever it is.
    const bool usesTheFactor = c.index <= 4;
    const QImage photo = test::PhotoLike(256, 192);
    QByteArray previous;
    double previousPsnr = 0;
    for (double quality : {0.0, 0.3, 0.6, 0.8, 1.0}) {
        ASSERT_TRUE(ImageTools::SaveImage(photo, dir.filePath("q"), c.index, quality));
        const QByteArray file = ReadBytes(dir.filePath("q"));
        if (usesTheFactor) {  // a larger file and a better picture
            EXPECT_GT(file.size(), previous.size()) << "quality " << quality;
            const double psnr = Psnr(test::DecodeFile(dir.filePath("q")), photo);
            EXPECT_GT(psnr, previousPsnr) << "quality " << quality;
            previousPsnr = psnr;
        } else if (!previous.isEmpty()) {
            EXPECT_EQ(file, previous) << "quality " << quality;
        }
        if (c.index == 3 && quality < 1.0) {  // the size the compression ratio gives
            const double target = 256.0 * 192 * 3 / Jpeg2000CompressionRatio(quality);
            EXPECT_LT(file.size(), target * 1.05 + 400) << quality;  // plus the boxes
            EXPECT_GT(file.size(), target * 0.7) << quality;
        }
        previous = file;
    }
    EXPECT_TRUE(!usesTheFactor || previousPsnr > 42.0);  // factor 1.0 is visually lossless
    EXPECT_EQ(ImageTools::SaveImage(photo, dir.filePath("nan"), c.index, std::nan("")),
              !usesTheFactor);
    for (QSize size : {QSize(1, 1), QSize(3, 2), QSize(1, 40), QSize(17, 1)}) {
        const QImage tiny = test::PhotoLike(size.width(), size.height());
        EXPECT_EQ(SaveAndRead(tiny, "tiny", 0.0).size(), size);
    }

    // Pictures above a megapixel: two JPEG strips, JPEG 2000 tiles two
    // across and two down, the lower ones 6 pixels high. Blue-first bytes, as
    // the editor hands its pictures over, give the file red-first bytes give;
    // so does an opaque premultiplied picture.
    for (const bool alpha : {false, true}) {
        const QImage blueFirst = test::PhotoLike(1100, 1030, alpha);
        const QByteArray file = Saved(blueFirst, c.index);
        ASSERT_FALSE(file.isEmpty());
        EXPECT_TRUE(file == Saved(blueFirst.convertToFormat(QImage::Format_RGBA8888), c.index));
        const QImage premultiplied = blueFirst.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(alpha || file == Saved(premultiplied, c.index));
        if (c.index == 0 && !alpha) {
            // The stream one encoder writes, restarting at each strip.
            const qsizetype dri = file.indexOf(QByteArray("\xFF\xDD\x00\x04", 4));
            ASSERT_GT(dri, 0) << "no restart interval";
            const unsigned interval = uchar(file[dri + 4]) << 8 | uchar(file[dri + 5]);
            EXPECT_EQ(interval % ((1100 + 15) / 16), 0u) << "strips of whole MCU rows";
            EXPECT_TRUE(file.contains(QByteArray("\xFF\xD0", 2)));
            const QImage rgbx = blueFirst.convertToFormat(QImage::Format_RGBX8888);
            EXPECT_TRUE(file == test::EncodeWithLibjpeg(rgbx, false, 80, interval));
        }
        if (c.index == 3 && alpha) {
            // Tiled, of the size the ratio gives (give or take the per-tile
            // budgets), and read back with alpha by ImageMagick and by us.
            const QString path = dir.filePath("tiles.jp2");
            ASSERT_TRUE(test::WriteBytes(path, file));
            bool ok = false;
            const QByteArray dump = test::RunTool("opj_dump", {"-i", path}, &ok);
            EXPECT_TRUE(dump.contains("x1=1100, y1=1030")) << dump.left(400).toStdString();
            EXPECT_TRUE(dump.contains("tw=2, th=2")) << dump.left(800).toStdString();
            const double target = 1100.0 * 1030 * 4 / Jpeg2000CompressionRatio(0.8);
            EXPECT_LT(file.size(), target * 1.05);
            EXPECT_GT(file.size(), target * 0.8);
            const QImage expected = blueFirst.convertToFormat(QImage::Format_RGBA8888);
            for (const QImage& back :
                 {test::DecodeFile(path).convertToFormat(QImage::Format_RGBA8888),
                  test::DecodeWithImageMagick(path)}) {
                ASSERT_EQ(back.size(), expected.size());
                double error = 0;
                for (int y = 0; y < 1030; y += 3)
                    for (int x = 0; x < 1100; x += 3)
                        for (int ch = 0; ch < 4; ++ch)
                            error += std::abs(back.constScanLine(y)[4 * x + ch] -
                                              expected.constScanLine(y)[4 * x + ch]);
                EXPECT_LT(error / (4.0 * 344 * 367), 3.0);
            }
        }
    }
    if (c.index == 5 || c.index == 6 || c.index == 9) {
        // Lossless: sizes that give the PNG writer one band, many bands
        // whose compression is primed by the rows before them, and
        // one-row bands.
        for (QSize size : {QSize(45, 29), QSize(1, 1), QSize(300, 400), QSize(7000, 9)}) {
            const QImage opaque = test::PhotoLike(size.width(), size.height())
                                      .convertToFormat(QImage::Format_RGBA8888);
            const QImage back = SaveAndRead(opaque, "lossless");
            ASSERT_EQ(back.size(), opaque.size());
            EXPECT_EQ(test::LargestDifference(back, opaque, true), 0)
                << size.width() << "x" << size.height();
        }
    }
    if (c.index == 5) {
        // The PNG colour type, byte 25: 6 (RGBA) for the transparent photo,
        // 2 (RGB) for the opaque one.
        EXPECT_EQ(bytes.at(25), 6);
        EXPECT_EQ(ReadBytes(dir.filePath("lossless")).at(25), 2);
    }
    if (c.index == 5 || c.index == 6) {
        // Straight alpha kept exactly, as ImageMagick reads it: Qt's TIFF
        // reader premultiplies, which would blur what the file holds.
        for (QSize size : {QSize(45, 29), QSize(260, 300)}) {
            const QImage picture = test::PhotoLike(size.width(), size.height(), true)
                                       .convertToFormat(QImage::Format_RGBA8888);
            ASSERT_TRUE(ImageTools::SaveImage(picture, dir.filePath("alpha"), c.index, 0.8));
            const QImage back = test::DecodeWithImageMagick(dir.filePath("alpha"));
            ASSERT_EQ(back.size(), picture.size());
            EXPECT_EQ(test::LargestDifference(back, picture, true), 0)
                << size.width() << "x" << size.height();
        }
    }
    if (c.index == 3) {  // alpha as an opacity channel, nearly exact at factor 1.0
        const QImage picture =
            test::PhotoLike(64, 40, true).convertToFormat(QImage::Format_RGBA8888);
        const QImage back = SaveAndRead(picture, "alpha", 1.0);
        ASSERT_EQ(back.size(), picture.size());
        int worst = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 64; ++x)
                worst = std::max(worst, std::abs(back.constScanLine(y)[4 * x + 3] -
                                                 picture.constScanLine(y)[4 * x + 3]));
        EXPECT_LE(worst, 3);
    }
    if (c.index == 0 || c.index == 9) {
        // Without alpha, transparency shows as white, in every one of the
        // JPEG writer's strips: BMP exactly, JPEG nearly.
        const int tolerance = c.index == 9 ? 1 : 12;
        const QImage picture = WithTransparentStrips(1100, 1030);
        const QImage back = SaveAndRead(picture, "flat");
        ASSERT_EQ(back.size(), picture.size());
        for (int y : {4, 700, 1026}) {
            for (int x = 2; x < 1100; x += 37) {
                const QColor was = picture.pixelColor(x, y);
                const QColor got = back.pixelColor(x, y);
                EXPECT_EQ(got.alpha(), 255);
                const double a = was.alphaF();
                EXPECT_NEAR(got.red(), std::lround(was.red() * a + 255 * (1 - a)), tolerance);
                EXPECT_NEAR(got.green(), std::lround(was.green() * a + 255 * (1 - a)), tolerance);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryIndex, SaveFormats, ::testing::ValuesIn(kFormats));

TEST(SaveGif, KeepsTheClearPixelsClearAndTheColoursExactOrDitheredClose) {
    // 255 colours in 4x4 blocks, neighbours differing by one level, and a
    // clear corner: a picture GIF can hold exactly.
    QImage graphic(64, 64, QImage::Format_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int block = (y / 4) * 16 + x / 4;
            graphic.setPixelColor(
                x, y,
                block == 0 ? QColor(0, 0, 0, 0) : QColor(100 + block % 2, 100, 2 * (block / 2)));
        }
    QImage clear(12, 8, QImage::Format_RGBA8888);
    clear.fill(Qt::transparent);
    const struct {
        const char* label;
        QImage picture;
        bool exact;  // else: far more than 256 colours, dithered
    } cases[] = {
        {"strips", WithTransparentStrips(96, 40), false},
        {"opaque photo", test::PhotoLike(128, 64).convertToFormat(QImage::Format_RGBA8888), false},
        {"graphic", graphic, true},
        {"clear", clear, true}};
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.filePath("out.gif");
        ASSERT_TRUE(ImageTools::SaveImage(c.picture, path, 8, 0.8)) << c.label;
        const QImage back = test::DecodeFile(path).convertToFormat(QImage::Format_RGBA8888);
        ASSERT_EQ(back.size(), c.picture.size()) << c.label;
        bool anyClear = false;
        for (int y = 0; y < back.height(); ++y)
            for (int x = 0; x < back.width(); ++x) {
                const bool clearPixel = c.picture.pixelColor(x, y).alpha() == 0;
                anyClear |= clearPixel;
                ASSERT_EQ(back.pixelColor(x, y).alpha(), clearPixel ? 0 : 255)
                    << c.label << " " << x << "," << y;
                if (c.exact) {
                    ASSERT_EQ(back.pixelColor(x, y), c.picture.pixelColor(x, y))
                        << c.label << " " << x << "," << y;
                }
            }
        // A transparent colour only where a pixel is clear.
        bool ok = false;
        const QByteArray alphaChannel = test::RunTool("identify", {"-format", "%A", path}, &ok);
        EXPECT_EQ(alphaChannel, anyClear ? "True" : "False") << c.label;
        if (c.exact) continue;
        // The dithered GIF keeps the average of every opaque 8x8 block.
        for (int by = 0; by + 8 <= back.height(); by += 8) {
            for (int bx = 0; bx + 8 <= back.width(); bx += 8) {
                int sum[2][3] = {};
                bool opaque = true;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        opaque &= c.picture.constScanLine(y)[4 * x + 3] == 255;
                        for (int ch = 0; ch < 3; ++ch) {
                            sum[0][ch] += c.picture.constScanLine(y)[4 * x + ch];
                            sum[1][ch] += back.constScanLine(y)[4 * x + ch];
                        }
                    }
                for (int ch = 0; ch < 3 && opaque; ++ch)
                    EXPECT_NEAR(sum[1][ch] / 64.0, sum[0][ch] / 64.0, 6.0)
                        << c.label << " " << bx << "," << by;
            }
        }
    }
}

TEST(SaveSize, IsThePictureSizeInPointsWithFractionsCutOffAndTheWholePictureFillsIt) {
    QTemporaryDir dir;
    const struct {
        QSize pixels;
        double ratio;  // device pixels per point
        QSize file;
    } cases[] = {
        {{40, 30}, 1.0, {40, 30}},    {{1007, 503}, 10.0, {100, 50}},  // 100.7 x 50.3 points
        {{81, 41}, 2.0, {40, 20}},                                     // 40.5 x 20.5 points
        {{200, 100}, 2.0, {100, 50}}, {{30, 20}, 0.5, {60, 40}},       // drawn twice as large
    };
    for (const auto& c : cases) {
        // Red on the left half, blue on the right.
        QImage image(c.pixels, QImage::Format_RGBA8888);
        image.fill(Qt::blue);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() / 2; ++x) image.setPixelColor(x, y, Qt::red);
        image.setDevicePixelRatio(c.ratio);
        const QString path = dir.filePath("sized.png");
        ASSERT_TRUE(ImageTools::SaveImage(image, path, 5, 0.8)) << c.ratio;
        const QImage saved = test::DecodeFile(path);
        ASSERT_EQ(saved.size(), c.file) << c.ratio;
        const int y = c.file.height() / 2;
        EXPECT_EQ(saved.pixelColor(c.file.width() / 10, y), QColor(Qt::red)) << c.ratio;
        EXPECT_EQ(saved.pixelColor(c.file.width() * 9 / 10, y), QColor(Qt::blue)) << c.ratio;
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

TEST(SaveOver, AFileIsReplacedWholeWithItsPermissionsAndALinkStaysALink) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("holiday.jpg");
    const QString link = dir.filePath("link.jpg");
    ASSERT_TRUE(test::WriteBytes(existing, QByteArray("the user's own file\n").repeated(10)));
    const QFileDevice::Permissions permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(existing, permissions));
    ASSERT_TRUE(QFile::link(existing, link));
    for (const QString& path : {existing, link}) {
        ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(40, 30), path, 0, 0.8));
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_TRUE(ReadBytes(existing).startsWith(kJpegMagic));
        EXPECT_EQ(test::DecodeFile(existing).size(), QSize(40, 30));
        // The "User" flags describe the running user's own access; compare
        // the owner, group and other bits that are stored with the file.
        const QFileDevice::Permissions userFlags =
            QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
        EXPECT_EQ(QFile::permissions(existing) & ~userFlags, permissions);
        EXPECT_EQ(FolderEntries(dir.path()), QStringList({"holiday.jpg", "link.jpg"}));
        ASSERT_TRUE(test::WriteBytes(existing, "old"));
    }
}

}  // namespace
}  // namespace lumetra
