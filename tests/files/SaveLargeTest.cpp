// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures large enough for the JPEG writer's strips and the JPEG 2000
// writer's tiles.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>

#include "files/FileTestTools.h"
#include "files/Jpeg2000.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

// A picture above a megapixel: two JPEG strips, two JPEG 2000 tiles across
// and two down, the lower ones 6 pixels high.
constexpr int kWide = 1100;
constexpr int kHigh = 1030;

QByteArray Saved(const QImage& picture, int index) {
    QTemporaryDir dir;
    const QString path = dir.filePath("saved");
    if (!ImageTools::SaveImage(picture, path, index, 0.8)) return {};
    return test::ReadBytes(path);
}

TEST(LargeJpeg, IsTheStreamOneEncoderWritesWithItsRestartInterval) {
    const QImage picture = test::PhotoLike(kWide, kHigh);
    const QByteArray file = Saved(picture, 0);
    const qsizetype dri = file.indexOf(QByteArray("\xFF\xDD\x00\x04", 4));
    ASSERT_GT(dri, 0) << "no restart interval";
    const unsigned interval = uchar(file[dri + 4]) << 8 | uchar(file[dri + 5]);
    const unsigned mcusPerRow = (kWide + 15) / 16;
    EXPECT_EQ(interval % mcusPerRow, 0u) << "strips of whole MCU rows";
    EXPECT_TRUE(file.contains(QByteArray("\xFF\xD0", 2)));
    EXPECT_TRUE(file == test::EncodeWithLibjpeg(picture.convertToFormat(QImage::Format_RGBX8888), false, 80, interval));
}

TEST(LargeJpeg, FlattensTransparentRowsInEveryStrip) {
    // Clear MCU rows in the first strip and in the last (a partial one).
    QImage picture = test::PhotoLike(kWide, kHigh, true);
    for (int first : {0, 704, 1024}) {
        for (int y = first; y < std::min(kHigh, first + 16); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < kWide; ++x) line[x] = qRgba(0, 0, 0, 0);
        }
    }
    QTemporaryDir dir;
    ASSERT_TRUE(ImageTools::SaveImage(picture, dir.filePath("t.jpg"), 0, 0.8));
    const QImage back = test::DecodeFile(dir.filePath("t.jpg"));
    ASSERT_EQ(back.size(), picture.size());
    for (int y : {3, 710, kHigh - 3})
        for (int x = 8; x < kWide; x += 97)
            EXPECT_GT(qGray(back.pixel(x, y)), 250) << x << "," << y;
}

TEST(LargeJpeg2000, IsTiledAndReadBackWithAlphaByEveryDecoder) {
    const QImage picture = test::PhotoLike(kWide * 2, kHigh, true);
    QTemporaryDir dir;
    const QString path = dir.filePath("tiles.jp2");
    ASSERT_TRUE(ImageTools::SaveImage(picture, path, 3, 0.8));
    bool ok = false;
    const QByteArray dump = test::RunTool("opj_dump", {"-i", path}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(dump.contains("x1=2200, y1=1030")) << dump.left(400).toStdString();
    EXPECT_TRUE(dump.contains("tw=3, th=2")) << dump.left(800).toStdString();
    EXPECT_EQ(test::Identify(path), "JP2 2200 1030");

    // The raw size over the ratio, give or take the per-tile budgets.
    const double target = 2200.0 * 1030 * 4 / Jpeg2000CompressionRatio(0.8);
    EXPECT_LT(QFileInfo(path).size(), target * 1.05);
    EXPECT_GT(QFileInfo(path).size(), target * 0.8);

    const QImage ours = test::DecodeFile(path);
    const QImage magick = test::DecodeWithImageMagick(path);
    const QImage expected = picture.convertToFormat(QImage::Format_RGBA8888);
    for (const QImage& back : {ours.convertToFormat(QImage::Format_RGBA8888), magick}) {
        ASSERT_EQ(back.size(), picture.size());
        double error = 0;
        for (int y = 0; y < kHigh; y += 3)
            for (int x = 0; x < 2 * kWide; x += 3)
                for (int c = 0; c < 4; ++c)
                    error += std::abs(back.constScanLine(y)[4 * x + c] -
                                      expected.constScanLine(y)[4 * x + c]);
        EXPECT_LT(error / (4.0 * (kHigh / 3 + 1) * (2 * kWide / 3 + 1)), 3.0);
    }
}

}  // namespace
}  // namespace lumetra
