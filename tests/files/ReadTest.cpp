// SPDX-License-Identifier: GPL-3.0-or-later
// Reading photos as users expect them to look: turned upright by their Exif
// orientation, converted to sRGB from their embedded profile, 16-bit
// precision kept, the first frame of an animation, CMYK in sensible colours,
// other encoders' JPEG 2000 files, a cut JPEG's decoded rows; and the header
// probe that decides a drop. Damaged and lying files are in the hostile
// corpus (tests/robustness).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <functional>

#include <gif_lib.h>

#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
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
    return test::WriteBytes(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
}

// An Exif block (little-endian TIFF with one IFD entry, Orientation) put
// right after the JPEG's start-of-image marker.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation) {
    const unsigned char app1[] = {
        0xFF, 0xE1, 0x00, 34, 'E', 'x', 'i', 'f', 0,
        0,                                       // marker, length, "Exif"
        'I',  'I',  42,   0,  8,   0,   0,   0,  // TIFF header, IFD at 8
        1,    0,                                 // one entry
        0x12, 0x01, 3,    0,  1,   0,   0,   0,   (unsigned char)orientation,
        0,    0,    0,         // Orientation
        0,    0,    0,    0};  // no next IFD
    QByteArray out = jpeg.left(2);
    out.append(reinterpret_cast<const char*>(app1), sizeof app1);
    out.append(jpeg.mid(2));
    return out;
}

// What OpenJPEG's opj_compress makes of a PGM or PPM file: a JP2 file or a
// bare codestream, as the extension says.
QByteArray OpenJpegFile(const QString& scratch, const QByteArray& netpbm, const char* extension) {
    const QString in = scratch + (netpbm.startsWith("P5") ? ".pgm" : ".ppm");
    bool ok = test::WriteBytes(in, netpbm);
    // One resolution level: the pictures are too small for more.
    test::RunTool("opj_compress", {"-i", in, "-o", scratch + extension, "-n", "1"}, &ok);
    return ok ? test::ReadBytes(scratch + extension) : QByteArray();
}

// A 4 x 4 GIF of two frames: red, then blue.
QByteArray TwoFrameGif(const QString& scratch) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(scratch.toLocal8Bit().constData(), false, &error);
    if (!gif) return {};
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifPutScreenDesc(gif, 4, 4, 1, 0, map);
    for (int frame = 0; frame < 2; ++frame) {
        EGifPutImageDesc(gif, 0, 0, 4, 4, false, nullptr);
        GifPixelType line[4] = {GifPixelType(frame), GifPixelType(frame), GifPixelType(frame),
                                GifPixelType(frame)};
        for (int y = 0; y < 4; ++y) EGifPutLine(gif, line, 4);
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK ? test::ReadBytes(scratch) : QByteArray();
}

// One pixel of a file as the reader gives it, and the colour it must be.
struct PixelCase {
    const char* name;  // the file's name
    std::function<QByteArray(const QString& scratch)> file;
    QPoint at;
    test::Rgba colour;
    float tolerance;
    bool deep = false;  // read at more than 8 bits
};

TEST(Read, EveryKindOfFileGivesItsColours) {
    QImage grey(40, 24, QImage::Format_Grayscale8);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) grey.setPixel(x, y, qRgb(x * 6, x * 6, x * 6));
    QImage deep(32, 4, QImage::Format_RGBA64);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x)
            deep.setPixelColor(x, y,
                               QColor::fromRgba64(quint16(1000 + 37 * x), quint16(40000 + y),
                                                  quint16(65535 - 91 * x), 65535));
    QImage p3(16, 16, QImage::Format_RGB32);
    p3.fill(QColor(110, 150, 90));
    p3.setColorSpace(QColorSpace::DisplayP3);
    QImage srgb = p3;
    srgb.setColorSpace(QColorSpace::SRgb);
    const QColor fromP3 = QColorSpace(QColorSpace::DisplayP3)
                              .transformationToColorSpace(QColorSpace::SRgb)
                              .map(QColor(110, 150, 90));
    QImage cmyk(16, 16, QImage::Format_RGBX8888);  // inverted: no cyan, full magenta and
    cmyk.fill(QColor(255, 0, 0));                  // yellow, no black; red
    const QImage withAlpha = test::PhotoLike(48, 32, true);
    const QColor alphaPixel = withAlpha.pixelColor(3, 30);
    QByteArray deepPgm("P5\n5 3\n65535\n"), greyPgm("P5\n4 2\n255\n"), rgbPpm("P6\n4 2\n255\n");
    for (int i = 0; i < 15; ++i) deepPgm.append(char(i * 4369 >> 8)).append(char(i * 4369));
    for (int i = 0; i < 8; ++i) {
        greyPgm.append(char(i * 30));
        rgbPpm.append(char(i * 30)).append(char(255 - i * 30)).append(char(i * 7));
    }
    const float deepRed = (1000 + 37 * 25) / 65535.f, deepBlue = (65535 - 91 * 25) / 65535.f;
    const auto bytes = [](const QByteArray& file) {
        return [file](const QString&) { return file; };
    };

    const auto rgb8 = [](int r, int g, int b) {
        return test::Rgba{r / 255.f, g / 255.f, b / 255.f, 1};
    };
    const auto opaque = [](const QColor& c) {
        return test::Rgba{float(c.redF()), float(c.greenF()), float(c.blueF()), 1};
    };
    const auto openJpeg = [&](const QByteArray& netpbm, const char* extension) {
        return
            [&netpbm, extension](const QString& s) { return OpenJpegFile(s, netpbm, extension); };
    };
    const test::Rgba deepPixel{deepRed, 40001 / 65535.f, deepBlue, 1};
    const float g14 = 14 * 4369 / 65535.f;
    const PixelCase cases[] = {
        {"grey.jpg", bytes(Encode(grey, "jpeg", 100)), {30, 10}, rgb8(180, 180, 180), 3.f / 255},
        {"print.jpg", bytes(test::EncodeWithLibjpeg(cmyk, true, 95)), {8, 8}, {1, 0, 0, 1}, .15f},
        {"deep.png", bytes(Encode(deep, "png")), {25, 1}, deepPixel, 1e-6f, true},
        {"deep.tiff", bytes(Encode(deep, "tiff")), {25, 1}, deepPixel, 1e-6f, true},
        {"p3.png", bytes(Encode(p3, "png", 100)), {8, 8}, opaque(fromP3), 1.5f / 255},
        // JPEG moves a level.
        {"p3.jpg", bytes(Encode(p3, "jpeg", 100)), {8, 8}, opaque(fromP3), 3.f / 255},
        {"srgb.png", bytes(Encode(srgb, "png", 100)), {8, 8}, rgb8(110, 150, 90), 1.5f / 255},
        {"first-frame.gif", TwoFrameGif, {3, 3}, {1, 0, 0, 1}, .1f},
        {"PHOTO.JPX",
         [&withAlpha](const QString& scratch) {
             ImageTools::SaveImage(withAlpha, scratch, 4, 1.0);
             return test::ReadBytes(scratch);
         },
         {3, 30},
         {float(alphaPixel.redF()), float(alphaPixel.greenF()), float(alphaPixel.blueF()),
          float(alphaPixel.alphaF())},
         .04f},
        {"deep-grey.j2k", openJpeg(deepPgm, ".j2k"), {4, 2}, {g14, g14, g14, 1}, 1e-6f, true},
        {"grey.jp2", openJpeg(greyPgm, ".jp2"), {3, 1}, rgb8(210, 210, 210), 1e-6f},
        {"grey.j2k", openJpeg(greyPgm, ".j2k"), {3, 1}, rgb8(210, 210, 210), 1e-6f},
        {"rgb.jp2", openJpeg(rgbPpm, ".jp2"), {2, 1}, rgb8(180, 75, 42), 1e-6f},
    };
    QTemporaryDir dir;
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WriteBytes(dir, c.name, c.file(dir.filePath("scratch")));
        const ReadResult read = ReadImageFile(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_FALSE(read.damaged);
        EXPECT_TRUE(!c.deep || read.image.isFloat()) << "read at 8 bits";
        const test::Rgba p = PixelAt(read.image, c.at.x(), c.at.y());
        EXPECT_NEAR(p.r, c.colour.r, c.tolerance);
        EXPECT_NEAR(p.g, c.colour.g, c.tolerance);
        EXPECT_NEAR(p.b, c.colour.b, c.tolerance);
        EXPECT_NEAR(p.a, c.colour.a, c.tolerance);
        if (c.colour.r == c.colour.g && c.colour.g == c.colour.b) {  // grey stays grey
            EXPECT_EQ(p.r, p.g);
            EXPECT_EQ(p.g, p.b);
        }
    }
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

TEST(Read, AJpegCutShortOpensAsDamagedWithTheRowsItHolds) {
    // Large enough that half the file is well past the tables, into the
    // compressed rows.
    const QByteArray whole = Encode(test::PhotoLike(256, 256), "jpeg", 90);
    QTemporaryDir dir;
    const ReadResult sound = ReadImageFile(WriteBytes(dir, "whole.jpg", whole));
    ASSERT_TRUE(sound.ok());
    const ReadResult cut = ReadImageFile(WriteBytes(dir, "cut.jpg", whole.left(whole.size() / 2)));
    ASSERT_TRUE(cut.ok()) << cut.error.toStdString();
    EXPECT_TRUE(cut.damaged);
    EXPECT_TRUE(cut.damage.contains("end", Qt::CaseInsensitive)) << cut.damage.toStdString();
    // The top rows decoded; the bottom rows, never reached, are grey.
    const test::Rgba top = PixelAt(cut.image, 250, 2), bottom = PixelAt(cut.image, 250, 254);
    EXPECT_NEAR(top.r, PixelAt(sound.image, 250, 2).r, 1e-6);
    EXPECT_NEAR(bottom.r, 128 / 255.f, 2 / 255.f);
    EXPECT_NEAR(bottom.b, 128 / 255.f, 2 / 255.f);
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
