// SPDX-License-Identifier: GPL-3.0-or-later
// What the saved pixels look like: lossless formats give the bitmap back,
// formats without alpha show transparency as white, GIF keeps exactly the
// transparent pixels transparent.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

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

QImage SaveAndRead(const QImage& image, int index, const QString& name) {
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!ImageTools::SaveImage(image, path, index, 0.8)) return {};
    return test::DecodeFile(path).convertToFormat(QImage::Format_RGBA8888);
}

int MaxDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < 4 * a.width(); ++i) worst = std::max(worst, std::abs(p[i] - q[i]));
    }
    return worst;
}

class LosslessFormats : public ::testing::TestWithParam<int> {};

TEST_P(LosslessFormats, GiveThePixelsBackExactly) {
    // Sizes that give the PNG writer one band, many bands whose compression
    // is primed by the rows before them, and one-row bands.
    for (QSize size : {QSize(45, 29), QSize(1, 1), QSize(300, 400), QSize(7000, 9)}) {
        const QImage opaque =
            test::PhotoLike(size.width(), size.height()).convertToFormat(QImage::Format_RGBA8888);
        const QImage back = SaveAndRead(opaque, GetParam(), "lossless");
        ASSERT_EQ(back.size(), opaque.size());
        EXPECT_EQ(MaxDifference(back, opaque), 0) << size.width() << "x" << size.height();
    }
}

INSTANTIATE_TEST_SUITE_P(PngTiffBmp, LosslessFormats, ::testing::Values(5, 6, 9));

class AlphaKeepingFormats : public ::testing::TestWithParam<int> {};

TEST_P(AlphaKeepingFormats, KeepStraightAlphaExactly) {
    // Read by ImageMagick: Qt's TIFF reader premultiplies, which would blur
    // what the file holds.
    for (QSize size : {QSize(45, 29), QSize(260, 300)}) {
        const QImage picture = test::PhotoLike(size.width(), size.height(), true)
                                   .convertToFormat(QImage::Format_RGBA8888);
        QTemporaryDir dir;
        const QString path = dir.filePath("alpha");
        ASSERT_TRUE(ImageTools::SaveImage(picture, path, GetParam(), 0.8));
        const QImage back = test::DecodeWithImageMagick(path);
        ASSERT_EQ(back.size(), picture.size());
        EXPECT_EQ(MaxDifference(back, picture), 0) << size.width() << "x" << size.height();
    }
}

INSTANTIATE_TEST_SUITE_P(PngTiff, AlphaKeepingFormats, ::testing::Values(5, 6));

TEST(SavePixels, OpaquePicturesAreWrittenWithoutAnAlphaChannel) {
    QTemporaryDir dir;
    ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(20, 10), dir.filePath("o.png"), 5, 0.8));
    ASSERT_TRUE(
        ImageTools::SaveImage(test::PhotoLike(20, 10, true), dir.filePath("a.png"), 5, 0.8));
    // The PNG colour type, byte 25: 2 is RGB, 6 is RGBA.
    EXPECT_EQ(test::ReadBytes(dir.filePath("o.png")).at(25), 2);
    EXPECT_EQ(test::ReadBytes(dir.filePath("a.png")).at(25), 6);
}

class FormatsWithoutAlpha : public ::testing::TestWithParam<int> {};

TEST_P(FormatsWithoutAlpha, ShowTransparencyAsWhite) {
    const int index = GetParam();
    const int tolerance = index == 9 ? 1 : 12;  // BMP is exact, JPEG is not
    const QImage picture = WithTransparentStrips(64, 32);
    const QImage back = SaveAndRead(picture, index, "flat");
    ASSERT_EQ(back.size(), picture.size());
    for (int y = 4; y < 28; y += 8) {
        for (int x = 2; x < 64; x += 4) {
            const QColor was = picture.pixelColor(x, y);
            const QColor got = back.pixelColor(x, y);
            EXPECT_EQ(got.alpha(), 255);
            const double a = was.alphaF();
            const int r = int(std::lround(was.red() * a + 255 * (1 - a)));
            const int g = int(std::lround(was.green() * a + 255 * (1 - a)));
            EXPECT_NEAR(got.red(), r, tolerance) << x << "," << y;
            EXPECT_NEAR(got.green(), g, tolerance) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(JpegBmp, FormatsWithoutAlpha, ::testing::Values(0, 9));

TEST(SaveGif, KeepsExactlyThePixelsWithAlphaZeroTransparent) {
    const QImage picture = WithTransparentStrips(96, 40);
    const QImage back = SaveAndRead(picture, 8, "strips.gif");
    ASSERT_EQ(back.size(), picture.size());
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 96; ++x) {
            const bool clear = picture.pixelColor(x, y).alpha() == 0;
            ASSERT_EQ(back.pixelColor(x, y).alpha(), clear ? 0 : 255) << x << "," << y;
        }
    }
}

TEST(SaveGif, DithersTheOpaquePartsCloseToTheirColours) {
    // A smooth gradient with far more than 256 colours: the dithered GIF
    // keeps the local average of every 8x8 block.
    const QImage picture = test::PhotoLike(128, 64).convertToFormat(QImage::Format_RGBA8888);
    const QImage back = SaveAndRead(picture, 8, "photo.gif");
    ASSERT_EQ(back.size(), picture.size());
    for (int by = 0; by < 64; by += 8) {
        for (int bx = 0; bx < 128; bx += 8) {
            int sum[2][3] = {};
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x)
                    for (int c = 0; c < 3; ++c) {
                        sum[0][c] += picture.constScanLine(y)[4 * x + c];
                        sum[1][c] += back.constScanLine(y)[4 * x + c];
                    }
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(sum[1][c] / 64.0, sum[0][c] / 64.0, 6.0) << bx << "," << by;
        }
    }
}

TEST(SaveGif, APictureOfAtMost256ColoursKeepsThemExactly) {
    // 255 colours in 4x4 blocks, neighbours differing by one level, and a
    // transparent corner: the GIF gives every pixel back unchanged.
    QImage graphic(64, 64, QImage::Format_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int block = (y / 4) * 16 + x / 4;
            const QColor colour = block == 0 ? QColor(0, 0, 0, 0)
                                             : QColor(100 + block % 2, 100, 2 * (block / 2), 255);
            graphic.setPixelColor(x, y, colour);
        }
    const QImage back = SaveAndRead(graphic, 8, "graphic.gif");
    ASSERT_EQ(back.size(), graphic.size());
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(back.pixelColor(x, y), graphic.pixelColor(x, y)) << x << "," << y;
}

TEST(SaveGif, AnOpaquePictureHasNoTransparentColour) {
    QTemporaryDir dir;
    const QString path = dir.filePath("opaque.gif");
    ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(30, 20), path, 8, 0.8));
    // No graphic control extension: its introducer 0x21 0xF9 is absent.
    EXPECT_FALSE(test::ReadBytes(path).contains(QByteArray("\x21\xF9", 2)));
    const QImage back = test::DecodeFile(path).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(back.size(), QSize(30, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(back.pixelColor(x, y).alpha(), 255);
}

TEST(SaveGif, AWhollyTransparentPictureStaysTransparent) {
    QImage clear(12, 8, QImage::Format_RGBA8888);
    clear.fill(Qt::transparent);
    const QImage back = SaveAndRead(clear, 8, "clear.gif");
    ASSERT_EQ(back.size(), QSize(12, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(back.pixelColor(x, y).alpha(), 0);
}

TEST(SaveGif, APictureWiderThanGifCanRecordFails) {
    QTemporaryDir dir;
    QImage wide(70000, 1, QImage::Format_RGBA8888);
    wide.fill(Qt::red);
    EXPECT_FALSE(ImageTools::SaveImage(wide, dir.filePath("wide.gif"), 8, 0.8));
    EXPECT_TRUE(test::FolderEntries(dir.path()).isEmpty());
}

TEST(SavePixels, PremultipliedAndBgraSourcesAreSavedInTheirTrueColours) {
    QImage premultiplied(4, 4, QImage::Format_ARGB32_Premultiplied);
    premultiplied.fill(QColor(200, 100, 50, 255));
    QImage bgra(4, 4, QImage::Format_ARGB32);
    bgra.fill(QColor(10, 20, 250));
    for (const QImage& image : {premultiplied, bgra}) {
        const QImage back = SaveAndRead(image, 5, "c.png");
        ASSERT_EQ(back.size(), QSize(4, 4));
        EXPECT_EQ(back.pixelColor(1, 1), image.pixelColor(1, 1));
    }
}

}  // namespace
}  // namespace lumetra
