// SPDX-License-Identifier: GPL-3.0-or-later
// The effects that move pixels read an 8-bit picture where it stands (and,
// on processors that have it, eight pixels at a time) instead of copying it
// to floats first. Whatever the storage and byte order, the result must be
// the one the float picture gives.
#include <gtest/gtest.h>

#include <QImage>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

using test::DeepCopy;
using test::MaxDifference;

struct Layout {
    const char* name;
    QImage::Format format;
    bool translucent;
};

const Layout kLayouts[] = {
    {"RGB32", QImage::Format_RGB32, false},
    {"ARGB32", QImage::Format_ARGB32, true},
    {"RGBX8888", QImage::Format_RGBX8888, false},
    {"RGBA8888", QImage::Format_RGBA8888, true},
};

// A picture with sharp edges and gradients, optionally with alpha varying
// across it (fully transparent in one corner), at an odd size so that rows
// end in a few columns of their own.
QImage Source(const Layout& layout, int w, int h) {
    QImage shapes = test::Shapes(w, h).toQImage().convertToFormat(QImage::Format_ARGB32);
    if (layout.translucent)
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(shapes.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int alpha = std::clamp(255 * (x + y) / (w + h) * 2 - 40, 0, 255);
                row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), alpha);
            }
        }
    return shapes.convertToFormat(layout.format);
}

// Runs `effect` on the 8-bit picture and on its float copy.
template <class Effect>
void ExpectSameForBothStorages(const Effect& effect, const char* what) {
    for (const Layout& layout : kLayouts) {
        for (const QSize size : {QSize(203, 131), QSize(64, 9), QSize(7, 5)}) {
            const Image bytes = Image::FromQImage(Source(layout, size.width(), size.height()));
            ASSERT_FALSE(bytes.isFloat()) << layout.name;
            const Image floats = DeepCopy(bytes);
            const Image fromBytes = effect(bytes);
            const Image fromFloats = effect(floats);
            // Sub-thousandth differences come from the order of the
            // arithmetic; a wrong channel, alpha or column is far larger.
            EXPECT_LT(MaxDifference(fromBytes, fromFloats, true), 1e-3f)
                << what << " on " << layout.name << " " << size.width() << "x" << size.height();
            EXPECT_TRUE(test::InUnitRange(fromBytes)) << what << " on " << layout.name;
        }
    }
}

TEST(EightBitSource, SwirlMatchesTheFloatPicture) {
    ExpectSameForBothStorages([](const Image& i) { return ImageTools::SwirlImage(i, 0.5f, 1.f); },
                              "swirl");
    ExpectSameForBothStorages([](const Image& i) { return ImageTools::SwirlImage(i, 0.9f, -3.f); },
                              "strong swirl");
}

TEST(EightBitSource, GlassSphereMatchesTheFloatPicture) {
    ExpectSameForBothStorages(
        [](const Image& i) { return ImageTools::GlassSphereImage(i, 0.25f, 0.71f); }, "sphere");
    ExpectSameForBothStorages(
        [](const Image& i) { return ImageTools::GlassSphereImage(i, 0.6f, 1.6f); },
        "sphere with total reflection");
}

TEST(EightBitSource, RotationMatchesTheFloatPicture) {
    for (double degrees : {45.0, -30.0, 90.0, 181.5})
        ExpectSameForBothStorages([degrees](const Image& i) { return ImageTools::RotateImage(i, degrees); },
                                  "rotation");
}

TEST(EightBitSource, SwirlKeepsPixelsOutsideItsRadiusBitForBit) {
    const QImage source = Source(kLayouts[0], 203, 131);
    const Image bytes = Image::FromQImage(source);
    const Image out = ImageTools::SwirlImage(bytes, 0.3f, 2.f);
    const Image original = DeepCopy(bytes);
    for (int y = 0; y < 131; y += 3)
        for (int x = 0; x < 203; ++x) {
            if (std::hypot((x + 0.5) / 203 - 0.5, (y + 0.5) / 131 - 0.5) < 0.3 + 1e-6) continue;
            ASSERT_TRUE(test::SamePixel(test::PixelAt(out, x, y), test::PixelAt(original, x, y)))
                << x << "," << y;
        }
}

}  // namespace
}  // namespace lumetra
