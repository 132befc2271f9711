// SPDX-License-Identifier: GPL-3.0-or-later
// Reading photos as users expect them to look: turned upright by their EXIF
// orientation, converted to sRGB from their embedded profile, 16-bit
// precision kept, the first frame of an animation, CMYK in sensible colours,
// a cut JPEG's decoded rows; and the header probe that decides a drop.
// Damaged and lying files are in the hostile corpus (tests/robustness).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QTemporaryDir>

#include <gif_lib.h>

#include "files/FileTestTools.h"
#include "files/ImageReader.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::PixelAt;

QByteArray Encode(const QImage& image, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QString WriteBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return file.fileName();
}

// An Exif block (little-endian TIFF with one IFD entry, Orientation) put
// right after the JPEG's start-of-image marker.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation) {
    const unsigned char app1[] = {
        0xFF, 0xE1, 0x00, 34, 'E', 'x', 'i', 'f', 0, 0,           // marker, length, "Exif"
        'I', 'I', 42, 0, 8, 0, 0, 0,                             // TIFF header, IFD at 8
        1, 0,                                                    // one entry
        0x12, 0x01, 3, 0, 1, 0, 0, 0, (unsigned char)orientation, 0, 0, 0,  // Orientation
        0, 0, 0, 0};                                             // no next IFD
    QByteArray out = jpeg.left(2);
    out.append(reinterpret_cast<const char*>(app1), sizeof app1);
    out.append(jpeg.mid(2));
    return out;
}

TEST(Read, AnExifOrientationTurnsThePhotoUpright) {
    // Where the stored top-left quarter ends up, by orientation 1 to 9; 5
    // to 8 swap the sides, 9 is no orientation.
    const int redQuarter[] = {0, 1, 3, 2, 0, 1, 3, 2, 0};
    QTemporaryDir dir;
    for (int tag = 1; tag <= 9; ++tag) {
        const QString path = WriteBytes(
            dir, "turned.jpg", WithOrientation(Encode(test::StoredOnItsSide(), "jpeg"), tag));
        const ReadResult read = ReadImageFile(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        const bool swaps = tag >= 5 && tag <= 8;
        EXPECT_EQ(read.image.width(), swaps ? 32 : 64) << "orientation " << tag;
        EXPECT_EQ(read.image.height(), swaps ? 64 : 32) << "orientation " << tag;
        EXPECT_EQ(test::RedQuarter(read.image.toQImage()), redQuarter[tag - 1]) << tag;
    }
}

class EmbeddedProfile : public ::testing::TestWithParam<const char*> {};

TEST_P(EmbeddedProfile, IsConvertedToSrgb) {
    const char* format = GetParam();
    // JPEG's compression moves a flat colour by a level or two.
    const double tolerance = (QByteArray(format) == "jpeg" ? 3.0 : 1.5) / 255;
    QImage p3(16, 16, QImage::Format_RGB32);
    p3.fill(QColor(110, 150, 90));
    p3.setColorSpace(QColorSpace::DisplayP3);
    QImage srgb = p3;
    srgb.setColorSpace(QColorSpace::SRgb);
    QTemporaryDir dir;
    const QString extension = QStringLiteral(".") + format;
    const ReadResult fromP3 =
        ReadImageFile(WriteBytes(dir, "p3" + extension, Encode(p3, format, 100)));
    const ReadResult fromSrgb =
        ReadImageFile(WriteBytes(dir, "srgb" + extension, Encode(srgb, format, 100)));
    ASSERT_TRUE(fromP3.ok());
    ASSERT_TRUE(fromSrgb.ok());
    const QColor expected = QColorSpace(QColorSpace::DisplayP3)
                                .transformationToColorSpace(QColorSpace::SRgb)
                                .map(QColor(110, 150, 90));
    const test::Rgba converted = PixelAt(fromP3.image, 8, 8);
    EXPECT_NEAR(converted.r, expected.redF(), tolerance);
    EXPECT_NEAR(converted.g, expected.greenF(), tolerance);
    EXPECT_NEAR(converted.b, expected.blueF(), tolerance);
    // The wider green shows as a more saturated sRGB green.
    EXPECT_GT(converted.g - converted.r, (150 - 110) / 255.f);
    const test::Rgba untouched = PixelAt(fromSrgb.image, 8, 8);
    EXPECT_NEAR(untouched.g, 150 / 255.f, tolerance);
}

INSTANTIATE_TEST_SUITE_P(Read, EmbeddedProfile, ::testing::Values("png", "jpeg"));

TEST(Read, AGreyJpegOpensGrey) {
    QImage grey(40, 24, QImage::Format_Grayscale8);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) grey.setPixel(x, y, qRgb(x * 6, x * 6, x * 6));
    QTemporaryDir dir;
    const ReadResult read = ReadImageFile(WriteBytes(dir, "grey.jpg", Encode(grey, "jpeg", 100)));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_FALSE(read.damaged);
    const test::Rgba p = PixelAt(read.image, 30, 10);
    EXPECT_NEAR(p.r, 180 / 255.f, 3 / 255.f);
    EXPECT_FLOAT_EQ(p.r, p.g);
    EXPECT_FLOAT_EQ(p.g, p.b);
    EXPECT_FLOAT_EQ(p.a, 1.f);
}

TEST(Read, AJpegCutShortOpensAsDamaged) {
    // Large enough that half the file is well past the tables, into the
    // compressed rows.
    const QByteArray whole = Encode(test::PhotoLike(256, 256), "jpeg", 90);
    QTemporaryDir dir;
    const ReadResult sound = ReadImageFile(WriteBytes(dir, "whole.jpg", whole));
    ASSERT_TRUE(sound.ok());
    EXPECT_FALSE(sound.damaged);
    const ReadResult cut = ReadImageFile(WriteBytes(dir, "cut.jpg", whole.left(whole.size() / 2)));
    ASSERT_TRUE(cut.ok()) << cut.error.toStdString();
    EXPECT_TRUE(cut.damaged);
    EXPECT_TRUE(cut.damage.contains("end", Qt::CaseInsensitive)) << cut.damage.toStdString();
    // The top rows decoded; the bottom rows, never reached, are grey.
    const test::Rgba top = PixelAt(cut.image, 250, 2), bottom = PixelAt(cut.image, 250, 254);
    const test::Rgba soundTop = PixelAt(sound.image, 250, 2);
    EXPECT_NEAR(top.r, soundTop.r, 1e-6);
    EXPECT_NEAR(bottom.r, 128 / 255.f, 2 / 255.f);
    EXPECT_NEAR(bottom.b, 128 / 255.f, 2 / 255.f);
}

TEST(Read, SixteenBitFilesKeepTheirPrecision) {
    QImage deep(32, 4, QImage::Format_RGBA64);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x)
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(1000 + 37 * x), quint16(40000 + y),
                                                        quint16(65535 - 91 * x), 65535));
    QTemporaryDir dir;
    for (const char* format : {"png", "tiff"}) {
        const ReadResult read =
            ReadImageFile(WriteBytes(dir, QStringLiteral("deep.") + format, Encode(deep, format)));
        ASSERT_TRUE(read.ok()) << format;
        ASSERT_TRUE(read.image.isFloat()) << format << " was read as 8 bits";
        for (int x = 0; x < 32; x += 5) {
            const test::Rgba p = PixelAt(read.image, x, 1);
            EXPECT_NEAR(p.r, (1000 + 37 * x) / 65535.f, 1e-6) << format;
            EXPECT_NEAR(p.g, 40001 / 65535.f, 1e-6) << format;
            EXPECT_NEAR(p.b, (65535 - 91 * x) / 65535.f, 1e-6) << format;
        }
    }
}

TEST(Read, AnAnimatedGifOpensAtItsFirstFrame) {
    QTemporaryDir dir;
    const QString path = dir.filePath("two.gif");
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    ASSERT_NE(gif, nullptr);
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    ASSERT_EQ(EGifPutScreenDesc(gif, 4, 4, 1, 0, map), GIF_OK);
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, 4, 4, false, nullptr), GIF_OK);
        GifPixelType line[4] = {GifPixelType(frame), GifPixelType(frame), GifPixelType(frame),
                                GifPixelType(frame)};
        for (int y = 0; y < 4; ++y) ASSERT_EQ(EGifPutLine(gif, line, 4), GIF_OK);
    }
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    const ReadResult read = ReadImageFile(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(test::RedQuarter(read.image.toQImage()), 0);
    EXPECT_GT(PixelAt(read.image, 3, 3).r, 0.9f);
}

TEST(Read, AJpeg2000FileKeepsItsAlpha) {
    QTemporaryDir dir;
    const QImage photo = test::PhotoLike(48, 32, true);
    const QString path = dir.filePath("PHOTO.JPX");
    ASSERT_TRUE(ImageTools::SaveImage(photo, path, 4, 1.0));
    const ReadResult read = ReadImageFile(path);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    ASSERT_EQ(QSize(read.image.width(), read.image.height()), photo.size());
    for (const QPoint at : {QPoint(40, 5), QPoint(3, 30)}) {
        const QColor want = photo.pixelColor(at);
        const test::Rgba got = PixelAt(read.image, at.x(), at.y());
        EXPECT_NEAR(got.r, want.redF(), 0.04);
        EXPECT_NEAR(got.a, want.alphaF(), 0.04);
    }
}

TEST(Read, ACmykJpegOpensInSensibleColours) {
    // No cyan, full magenta and yellow, no black (inverted): red.
    QImage cmyk(16, 16, QImage::Format_RGBX8888);
    cmyk.fill(QColor(255, 0, 0));
    QTemporaryDir dir;
    const ReadResult read =
        ReadImageFile(WriteBytes(dir, "print.jpg", test::EncodeWithLibjpeg(cmyk, true, 95)));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const test::Rgba p = PixelAt(read.image, 8, 8);
    EXPECT_GT(p.r, 0.85f);
    EXPECT_LT(p.g, 0.15f);
    EXPECT_LT(p.b, 0.15f);
}

TEST(Read, Jpeg2000FilesOfAnotherEncoderAreReadExactlyInTheirDepth) {
    // Made by OpenJPEG's opj_compress from PGM/PPM files: 16-bit and 8-bit
    // grey, in a JP2 file and as a bare codestream, and RGB.
    QTemporaryDir dir;
    const auto compressed = [&dir](const QByteArray& netpbm, const QString& name) {
        const QString in = dir.filePath(name + (netpbm.startsWith("P5") ? ".pgm" : ".ppm"));
        const QString out = dir.filePath(name);
        bool ok = test::WriteBytes(in, netpbm);
        // One resolution level: the pictures are too small for more.
        test::RunTool("opj_compress", {"-i", in, "-o", out, "-n", "1"}, &ok);
        EXPECT_TRUE(ok) << "opj_compress failed on " << name.toStdString();
        return ReadImageFile(out);
    };
    QByteArray deep("P5\n5 3\n65535\n"), grey("P5\n4 2\n255\n"), rgb("P6\n4 2\n255\n");
    for (int i = 0; i < 15; ++i) deep.append(char(i * 4369 >> 8)).append(char(i * 4369 & 0xff));
    for (int i = 0; i < 8; ++i) {
        grey.append(char(i * 30));
        rgb.append(char(i * 30)).append(char(255 - i * 30)).append(char(i * 7));
    }
    const ReadResult sixteen = compressed(deep, "deep.j2k");
    ASSERT_TRUE(sixteen.ok()) << sixteen.error.toStdString();
    ASSERT_TRUE(sixteen.image.isFloat()) << "read as 8 bits";
    for (int i = 0; i < 15; ++i) {
        const test::Rgba p = PixelAt(sixteen.image, i % 5, i / 5);
        EXPECT_NEAR(p.r, i * 4369 / 65535.f, 1e-6);  // lossless by default
        EXPECT_EQ(p.g, p.r);
        EXPECT_EQ(p.b, p.r);
        EXPECT_EQ(p.a, 1.f);
    }
    for (const char* name : {"grey.jp2", "grey.j2k"}) {
        const ReadResult read = compressed(grey, name);
        ASSERT_TRUE(read.ok()) << name;
        const test::Rgba p = PixelAt(read.image, 3, 1);
        EXPECT_NEAR(p.r, 210 / 255.f, 1e-6) << name;
        EXPECT_EQ(p.g, p.r);
        EXPECT_EQ(p.b, p.r);
    }
    const ReadResult colour = compressed(rgb, "rgb.jp2");
    ASSERT_TRUE(colour.ok());
    const test::Rgba p = PixelAt(colour.image, 2, 1);
    EXPECT_NEAR(p.r, 180 / 255.f, 1e-6);
    EXPECT_NEAR(p.g, 75 / 255.f, 1e-6);
    EXPECT_NEAR(p.b, 42 / 255.f, 1e-6);
}

// The header probe that decides a drop gives the upright size, and it and
// the reader refuse a picture above the limit they are given. What they
// make of damaged files is in the hostile corpus (tests/robustness).
TEST(Probe, GivesTheUprightSizeAndRefusesAPictureAboveTheLimit) {
    const QImage picture = test::PhotoLike(40, 24);
    QTemporaryDir dir;
    const QString onItsSide =
        WriteBytes(dir, "side.jpg", WithOrientation(Encode(picture, "jpeg"), 6));
    const ProbeResult probe = ProbeImageFile(onItsSide);
    ASSERT_TRUE(probe.ok()) << probe.error.toStdString();
    EXPECT_EQ(probe.size, QSize(24, 40));

    QStringList paths = {onItsSide, WriteBytes(dir, "a.png", Encode(picture, "png"))};
    for (const char* name : {"a.jp2", "a.gif"}) {
        paths << dir.filePath(name);
        ASSERT_TRUE(ImageTools::SaveImage(picture, paths.last(), name[2] == 'j' ? 3 : 8, 0.9));
    }
    for (const QString& path : paths) {
        for (const std::int64_t limit : {40 * 24, 40 * 24 - 1}) {
            const bool within = limit == 40 * 24;
            const ProbeResult probed = ProbeImageFile(path, limit);
            EXPECT_EQ(probed.ok(), within) << path.toStdString() << " " << limit;
            const ReadResult read = ReadImageFile(path, limit);
            EXPECT_EQ(read.ok(), within) << path.toStdString() << " " << limit;
            if (!within) {
                EXPECT_TRUE(probed.error.contains("too large")) << probed.error.toStdString();
                EXPECT_TRUE(read.error.contains("too large")) << read.error.toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace lumetra
