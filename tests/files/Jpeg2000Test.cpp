// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG 2000: our encoder read back by our decoder, and files made by
// OpenJPEG's own tools in the depths and layouts the decoder must read.
// Damaged and lying files are in the hostile corpus (tests/robustness).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "files/FileTestTools.h"
#include "files/Jpeg2000.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

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

TEST(Jpeg2000, AHigherFactorGivesABetterPictureInAFileOfTheRatiosSize) {
    const QImage photo = test::PhotoLike(256, 192);
    double previousPsnr = 0;
    for (double quality : {0.0, 0.2, 0.5, 0.8, 1.0}) {
        QString error;
        const QByteArray file = EncodeJpeg2000(photo, quality, &error);
        ASSERT_FALSE(file.isEmpty()) << error.toStdString();
        const double target = 256.0 * 192 * 3 / Jpeg2000CompressionRatio(quality);
        EXPECT_LT(file.size(), target * 1.05 + 400) << quality;  // plus the boxes
        if (quality < 1.0) {
            EXPECT_GT(file.size(), target * 0.7) << quality;
        }
        const QImage back = DecodeJpeg2000(file, &error);
        ASSERT_EQ(back.size(), photo.size()) << error.toStdString();
        EXPECT_EQ(back.format(), QImage::Format_RGBA8888);
        const double psnr = Psnr(back, photo);
        EXPECT_GT(psnr, previousPsnr) << quality;
        previousPsnr = psnr;
    }
    EXPECT_GT(previousPsnr, 42.0);  // factor 1.0 is visually lossless
}

TEST(Jpeg2000, KeepsAlphaAndEncodesTinyPictures) {
    const QImage picture = test::PhotoLike(64, 40, true).convertToFormat(QImage::Format_RGBA8888);
    const QImage back = DecodeJpeg2000(EncodeJpeg2000(picture, 1.0));
    ASSERT_EQ(back.size(), picture.size());
    int worst = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            worst = std::max(
                worst, std::abs(back.pixelColor(x, y).alpha() - picture.pixelColor(x, y).alpha()));
    EXPECT_LE(worst, 3);
    for (QSize size : {QSize(1, 1), QSize(3, 2), QSize(1, 40), QSize(17, 1)}) {
        QString error;
        const QImage tiny = DecodeJpeg2000(
            EncodeJpeg2000(test::PhotoLike(size.width(), size.height()), 0.0, &error));
        EXPECT_EQ(tiny.size(), size) << error.toStdString();
    }
}

// Files made by opj_compress from PGM/PPM files we write ourselves.
class OpenJpegTool : public ::testing::Test {
protected:
    QImage Compressed(const QByteArray& netpbm, const char* inName, const char* outName) {
        const QString in = dir.filePath(inName);
        const QString out = dir.filePath(outName);
        EXPECT_TRUE(test::WriteBytes(in, netpbm));
        bool ok = false;
        // One resolution level: the pictures are too small for more.
        test::RunTool("opj_compress", QStringList{"-i", in, "-o", out, "-n", "1"}, &ok);
        EXPECT_TRUE(ok) << "opj_compress failed on " << inName;
        return DecodeJpeg2000(test::ReadBytes(out));
    }
    QTemporaryDir dir;
};

TEST_F(OpenJpegTool, SixteenBitGreyIsReadAsRgba64) {
    QByteArray pgm("P5\n5 3\n65535\n");
    for (int i = 0; i < 15; ++i) {
        const int v = i * 4369;  // 0 .. 61166
        pgm.append(char(v >> 8)).append(char(v & 0xff));
    }
    const QImage image = Compressed(pgm, "g.pgm", "g.j2k");
    ASSERT_EQ(image.size(), QSize(5, 3));
    EXPECT_EQ(image.format(), QImage::Format_RGBA64);
    for (int i = 0; i < 15; ++i) {
        const QRgba64 px = image.pixelColor(i % 5, i / 5).rgba64();
        EXPECT_EQ(px.red(), i * 4369);  // lossless by default
        EXPECT_EQ(px.green(), px.red());
        EXPECT_EQ(px.blue(), px.red());
        EXPECT_EQ(px.alpha(), 65535);
    }
}

TEST_F(OpenJpegTool, EightBitGreyAndRgbFilesAreReadExactly) {
    QByteArray pgm("P5\n4 2\n255\n");
    QByteArray ppm("P6\n4 2\n255\n");
    for (int i = 0; i < 8; ++i) {
        pgm.append(char(i * 30));
        ppm.append(char(i * 30)).append(char(255 - i * 30)).append(char(i * 7));
    }
    for (const char* name : {"g.jp2", "g.j2k"}) {
        const QImage grey = Compressed(pgm, "g.pgm", name);
        ASSERT_EQ(grey.size(), QSize(4, 2)) << name;
        EXPECT_EQ(grey.format(), QImage::Format_RGBA8888);
        EXPECT_EQ(grey.pixelColor(3, 1), QColor(210, 210, 210)) << name;
    }
    const QImage rgb = Compressed(ppm, "c.ppm", "c.jp2");
    ASSERT_EQ(rgb.size(), QSize(4, 2));
    EXPECT_EQ(rgb.pixelColor(2, 1), QColor(180, 75, 42));
}

}  // namespace
}  // namespace lumetra
