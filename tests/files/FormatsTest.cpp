// SPDX-License-Identifier: GPL-3.0-or-later
// The sources read through their own libraries (HEIC, AVIF, WebP, JPEG XL,
// camera raw) and the WebP and AVIF savers: files made here with the
// libraries' own encoders (cwebp, webpmux, avifenc, heif-enc, cjxl), a DNG
// written by hand, and exiftool as an independent reader of the metadata.
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QTemporaryDir>
#include <QTransform>
#include <cmath>
#include <functional>

#include "files/CodecReaders.h"
#include "files/Export.h"
#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::LargestDifference;
using test::ReadBytes;
using test::RunTool;
using test::WriteBytes;

// An Exif block (TIFF structure) with a Make and an Orientation.
QByteArray ExifBlock(int orientation) {
    QByteArray b("II*\0\x08\0\0\0", 8);
    const auto le = [&b](quint32 v, int n) {
        for (int i = 0; i < n; ++i) b.append(char(v >> (8 * i) & 0xFF));
    };
    le(2, 2);
    le(0x010F, 2), le(2, 2), le(8, 4), le(8 + 2 + 24 + 4, 4);  // Make, 8 bytes, after the IFD
    le(0x0112, 2), le(3, 2), le(1, 4), le(quint32(orientation), 4);
    le(0, 4);
    b.append("Phone Co", 8);
    return b;
}

bool Ran(const QString& program, const QStringList& arguments) {
    bool ok = false;
    RunTool(program, arguments, &ok);
    return ok;
}

// One format made from a PNG (or, for orientation and Exif, a JPEG) by its
// library's own encoder.
struct Codec {
    const char* name;
    const char* extension;
    int tolerance;  // largest channel difference of its lossless mode
    bool alpha;
    std::function<bool(const QString& in, const QString& out)> encode;
};

const std::vector<Codec>& Codecs() {
    static const std::vector<Codec> codecs = {
        {"WebP", "webp", 1, true,
         [](const QString& in, const QString& out) {
             return Ran("cwebp",
                        {"-quiet", "-lossless", "-exact", "-metadata", "icc,exif", in, "-o", out});
         }},
        {"AVIF", "avif", 1, true,
         [](const QString& in, const QString& out) {
             return Ran("avifenc", {"-l", in, out});
         }},
        {"HEIC", "heic", 3, true,
         [](const QString& in, const QString& out) {
             return Ran("heif-enc",
                        {"-L", "-p", "chroma=444", "--matrix_coefficients=0", in, "-o", out});
         }},
        {"JPEG XL", "jxl", 1, true,
         [](const QString& in, const QString& out) {
             return Ran("cjxl", {"-d", "0", "--quiet", in, out});
         }},
    };
    return codecs;
}

class Formats : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(Formats, OpenWithTheirSizePixelsAndAlpha) {
    const QImage picture = test::PhotoLike(41, 29, true).convertToFormat(QImage::Format_ARGB32);
    ASSERT_TRUE(picture.save(Path("in.png")));
    for (const Codec& codec : Codecs()) {
        SCOPED_TRACE(codec.name);
        const QString file = Path(QStringLiteral("in.") + codec.extension);
        ASSERT_TRUE(codec.encode(Path("in.png"), file));
        const ReadResult read = ReadImageFile(file);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_FALSE(read.damaged);
        EXPECT_EQ(read.image.toQImage().size(), picture.size());
        EXPECT_LE(LargestDifference(read.image.toQImage().convertToFormat(QImage::Format_ARGB32),
                                    picture, codec.alpha),
                  codec.tolerance);
        EXPECT_EQ(ProbeImageFile(file).size, picture.size());
    }
}

// Display P3 (200, 100, 50) in sRGB: decoded to linear light, through the
// P3-to-sRGB matrix, and encoded again.
QRgb P3InSrgb(int r, int g, int b) {
    const auto linear = [](double v) {
        v /= 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const auto encode = [](double v) {
        v = std::clamp(v, 0.0, 1.0);
        return int(std::lround(
            255.0 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055)));
    };
    const double R = linear(r), G = linear(g), B = linear(b);
    return qRgb(encode(1.2249 * R - 0.2247 * G), encode(-0.0420 * R + 1.0419 * G),
                encode(-0.0197 * R - 0.0786 * G + 1.0979 * B));
}

TEST_F(Formats, ConvertADisplayP3PictureToSrgb) {
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(qRgb(200, 100, 50));
    picture.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(picture.save(Path("p3.png")));
    const QRgb expected = P3InSrgb(200, 100, 50);
    for (const Codec& codec : Codecs()) {
        SCOPED_TRACE(codec.name);
        const QString file = Path(QStringLiteral("p3.") + codec.extension);
        ASSERT_TRUE(codec.encode(Path("p3.png"), file));
        const ReadResult read = ReadImageFile(file);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        const QRgb got = read.image.toQImage().pixel(8, 8);
        EXPECT_LE(std::abs(qRed(got) - qRed(expected)), 2) << qRed(got);
        EXPECT_LE(std::abs(qGreen(got) - qGreen(expected)), 2) << qGreen(got);
        EXPECT_LE(std::abs(qBlue(got) - qBlue(expected)), 2) << qBlue(got);
    }
}

// Each file turned by what its format says; the expectation is the stored
// picture turned with QTransform.
TEST_F(Formats, TurnUprightByTheirOrientation) {
    const QImage picture = test::PhotoLike(40, 24).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(picture.save(Path("o.png")));
    ASSERT_TRUE(picture.save(Path("o.jpg"), nullptr, 100));
    ASSERT_TRUE(Ran("cwebp", {"-quiet", "-lossless", Path("o.png"), "-o", Path("o.webp")}));
    const struct {
        const char* label;
        QStringList tool;     // makes its last argument from the files above
        int degrees;          // the turn, clockwise
        bool mirror = false;  // left and right exchanged after the turn
        int tolerance = 1;
    } cases[] = {
        {"WebP Exif 6",
         {"webpmux", "-set", "exif", Path("exif6"), Path("o.webp"), "-o", Path("t6.webp")},
         90},
        {"WebP Exif 3",
         {"webpmux", "-set", "exif", Path("exif3"), Path("o.webp"), "-o", Path("t3.webp")},
         180},
        {"AVIF irot 1", {"avifenc", "-l", "--irot", "1", Path("o.png"), Path("r1.avif")}, -90},
        {"AVIF irot 3 imir 1",
         {"avifenc", "-l", "--irot", "3", "--imir", "1", Path("o.png"), Path("r3.avif")},
         90,
         true},
        {"JPEG XL from a JPEG with Exif 6",
         {"cjxl", "--quiet", Path("o6.jpg"), Path("o6.jxl")},
         90,
         false,
         40},
    };
    ASSERT_TRUE(WriteBytes(Path("exif6"), ExifBlock(6)));
    ASSERT_TRUE(WriteBytes(Path("exif3"), ExifBlock(3)));
    ASSERT_TRUE(Ran("exiftool", {"-q", "-Orientation#=6", "-o", Path("o6.jpg"), Path("o.jpg")}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Ran(c.tool.front(), c.tool.mid(1)));
        const ReadResult read = ReadImageFile(c.tool.last());
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        QImage expected = picture.transformed(QTransform().rotate(c.degrees));
        if (c.mirror) expected = expected.mirrored(true, false);
        const QImage got = read.image.toQImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_LE(LargestDifference(got, expected, false), c.tolerance);
        EXPECT_EQ(ProbeImageFile(c.tool.last()).size, expected.size());
    }
}

// Exiftool's Make and Orientation (as a number) of a file.
QString MakeAndOrientation(const QString& path) {
    bool ok = false;
    const QString out = RunTool("exiftool", {"-s3", "-Make", "-Orientation#", path}, &ok);
    return ok ? out.simplified() : QStringLiteral("<exiftool failed>");
}

TEST_F(Formats, CarryTheirExifOverWithTheOrientationMadeNormal) {
    const QImage picture = test::PhotoLike(40, 24).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(picture.save(Path("e.png")));
    ASSERT_TRUE(picture.save(Path("e.jpg"), nullptr, 95));
    ASSERT_TRUE(WriteBytes(Path("exif"), ExifBlock(6)));
    ASSERT_TRUE(Ran("exiftool", {"-q", "-Make=Phone Co", "-Orientation#=6", "-overwrite_original",
                                 Path("e.jpg")}));
    ASSERT_TRUE(WriteBytes(Path("e.dng"), test::MakeDng(40, 24, 6)));
    const struct {
        const char* file;
        QStringList tool;
    } sources[] = {
        {"e.webp", {"webpmux", "-set", "exif", Path("exif"), Path("w.webp"), "-o", Path("e.webp")}},
        {"e.avif", {"avifenc", "--exif", Path("exif"), Path("e.png"), Path("e.avif")}},
        {"e.heic", {"heif-enc", Path("e.jpg"), "-o", Path("e.heic")}},
        {"e.jxl", {"cjxl", "--quiet", Path("e.jpg"), Path("e.jxl")}},
        {"e.dng", {}},
    };
    ASSERT_TRUE(Ran("cwebp", {"-quiet", Path("e.png"), "-o", Path("w.webp")}));
    for (const auto& source : sources) {
        SCOPED_TRACE(source.file);
        if (!source.tool.isEmpty()) {
            ASSERT_TRUE(Ran(source.tool.front(), source.tool.mid(1)));
        }
        const ReadResult read = ReadImageFile(Path(source.file));
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        for (const int format : {0, 5, 10, 11}) {
            ExportRequest request;
            request.picture = read.image.toQImage();
            request.width = request.picture.width();
            request.height = request.picture.height();
            request.path = Path(QStringLiteral("out.") + FormatExtension(format));
            request.formatIndex = format;
            request.keepExif = true;
            request.sourcePath = Path(source.file);
            ASSERT_TRUE(ExportPicture(request).saved);
            const QString expected =
                QString(source.file) == "e.dng" ? "Lumetra Test 1" : "Phone Co 1";
            EXPECT_EQ(MakeAndOrientation(request.path), expected)
                << FormatExtension(format).toStdString();
        }
    }
}

TEST_F(Formats, SaveWebpAndAvifThatReadBackWithAlpha) {
    const QImage picture = test::PhotoLike(64, 48, true).convertToFormat(QImage::Format_ARGB32);
    for (const int format : {10, 11}) {
        const QString path = Path(QStringLiteral("saved.") + FormatExtension(format));
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(ImageTools::SaveImage(picture, path, format, 0.9));
        const ReadResult read = ReadImageFile(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        const QImage got = read.image.toQImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(got.size(), picture.size());
        // Lossy at quality 90: close on average, alpha nearly exact.
        double sum = 0;
        int alphaLargest = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QRgb p = got.pixel(x, y), q = picture.pixel(x, y);
                sum += std::abs(qGreen(p) - qGreen(q));
                alphaLargest = std::max(alphaLargest, std::abs(qAlpha(p) - qAlpha(q)));
            }
        EXPECT_LT(sum / (got.width() * got.height()), 4.0);
        EXPECT_LE(alphaLargest, 8);
    }
}

// AVIF frames are turned into RGB in bands of rows on every core: each
// subsampling and depth gives exactly what libavif's own decoder gives in
// one conversion, seams included (the picture is large enough to split).
TEST_F(Formats, ConvertAvifInBandsAsInOne) {
    const QImage picture = test::PhotoLike(301, 257, true).convertToFormat(QImage::Format_ARGB32);
    ASSERT_TRUE(picture.save(Path("bands.png")));
    for (const QString yuv : {"444", "422", "420", "400"})
        for (const QString depth : {"8", "10"}) {
            const QString avif = Path("b" + yuv + depth + ".avif");
            const QString reference = Path("b" + yuv + depth + ".png");
            SCOPED_TRACE(avif.toStdString());
            ASSERT_TRUE(Ran("avifenc", {"-y", yuv, "-d", depth, Path("bands.png"), avif}));
            ASSERT_TRUE(Ran("avifdec", {avif, reference}));
            const ReadResult got = ReadImageFile(avif);
            const ReadResult expected = ReadImageFile(reference);
            ASSERT_TRUE(got.ok() && expected.ok());
            EXPECT_EQ(LargestDifference(
                          got.image.toQImage().convertToFormat(QImage::Format_ARGB32),
                          expected.image.toQImage().convertToFormat(QImage::Format_ARGB32), true),
                      0);
        }
}

// A raw file cut short, its header alone or claiming a huge size are in
// the hostile corpus; here a sound one and one claiming more than it holds.
TEST_F(Formats, OpenASoundRawFileUprightAndRefuseOneLyingAboutItsSize) {
    ASSERT_TRUE(WriteBytes(Path("sound.dng"), test::MakeDng(480, 320, 8)));
    const ReadResult sound = ReadImageFile(Path("sound.dng"));
    ASSERT_TRUE(sound.ok()) << sound.error.toStdString();
    EXPECT_EQ(QSize(sound.image.width(), sound.image.height()), QSize(320, 480));
    // The pixels LibRaw's own tool develops with the same options.
    ASSERT_TRUE(Ran("dcraw_emu", {"-w", "-6", "-g", "2.4", "12.92", "-Z", Path("sound.ppm"),
                                  Path("sound.dng")}));
    const ReadResult developed = ReadImageFile(Path("sound.ppm"));
    ASSERT_TRUE(developed.ok());
    EXPECT_LE(
        LargestDifference(sound.image.toQImage().convertToFormat(QImage::Format_ARGB32),
                          developed.image.toQImage().convertToFormat(QImage::Format_ARGB32), true),
        1);
    ASSERT_TRUE(WriteBytes(Path("larger.dng"), test::MakeDng(32, 20, 1, QSize(480, 320))));
    const ReadResult larger = ReadImageFile(Path("larger.dng"));
    EXPECT_FALSE(larger.ok());
    EXPECT_FALSE(larger.error.isEmpty());
}

TEST(FormatLists, NewExtensionsFollowTheTenInAnyCase) {
    const QStringList& extensions = SourceExtensions();
    EXPECT_EQ(extensions.mid(0, 10), QStringList({"jpg", "jpeg", "jpe", "jp2", "jpx", "png", "tiff",
                                                  "tif", "gif", "bmp"}));
    for (const char* e : {"heic", "heif", "avif", "webp", "jxl", "dng", "cr2", "cr3", "nef", "arw",
                          "raf", "orf", "rw2", "rwl", "x3f", "iiq"})
        EXPECT_GE(extensions.indexOf(e), 10) << e;
    EXPECT_EQ(CodecFormatOf(QByteArray("II*\0\x08\0\0\0", 8), "/photos/IMG_1.DNG"),
              CodecFormat::Raw);
    EXPECT_EQ(CodecFormatOf(QByteArray("II*\0\x08\0\0\0", 8), "/photos/scan.tif"),
              CodecFormat::None);
    EXPECT_EQ(FormatExtension(10), "webp");
    EXPECT_EQ(FormatExtension(11), "avif");
    EXPECT_EQ(FormatExtension(9), "bmp");
}

}  // namespace
}  // namespace lumetra
