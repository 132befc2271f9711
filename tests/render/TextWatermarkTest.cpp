// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark: measuring and wrapping, clean white edges, where the
// shadow falls, the outline, and the font families it resolves to.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>

#include "render/FontFamilies.h"
#include "render/ImageTools.h"
#include "settings/SettingsFields.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::PixelAt;

const RgbaColor kWhite{1.0, 1.0, 1.0, 1.0};

QString Sans() {
    return ResolveFontFamilyName(QStringLiteral("Arial"));
}

WatermarkOverlay Text(QSizeF canvas, const QString& text, double size, int position,
                      bool shadow = false, bool stroke = false, RgbaColor colour = kWhite) {
    return ImageTools::CreateTextWatermark(canvas, text, Sans(), size, colour, position, 0, 0,
                                           shadow, stroke);
}

// The smallest pixel box holding every pixel whose alpha is above `floor`.
QRect InkBox(const Image& canvas, float floor = 0.f) {
    QRect box;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (PixelAt(canvas, x, y).a > floor) box = box.united(QRect(x, y, 1, 1));
    return box;
}

// A canvas-coordinate rectangle in the picture's rows (y down).
QRectF InRows(const QRectF& rect, double canvasHeight) {
    return QRectF(rect.x(), canvasHeight - rect.y() - rect.height(), rect.width(), rect.height());
}

class TextPosition : public ::testing::TestWithParam<int> {};

TEST_P(TextPosition, TheMeasuredTextSitsAtItsPositionWithItsInkInside) {
    const int position = GetParam();
    const QSizeF canvas(500, 260);
    const WatermarkOverlay overlay = Text(canvas, QStringLiteral("Watermark"), 60, position);
    // The rectangle is the measured text placed by the position table.
    EXPECT_EQ(overlay.rect, ImageTools::WatermarkRect(canvas, overlay.rect.size(), position, 0, 0));
    EXPECT_GT(overlay.rect.width(), 150.0);
    EXPECT_GT(overlay.rect.height(), 55.0);
    const QRectF rows = InRows(overlay.rect, canvas.height());
    const QRect ink = InkBox(overlay.toImage());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(rows.adjusted(-2, 0, 2, 0).contains(QRectF(ink))) << "position " << position;
}

INSTANTIATE_TEST_SUITE_P(AllPositions, TextPosition, ::testing::Values(0, 1, 2, 3, 4));

TEST(TextWatermark, OffsetsMoveTheText) {
    const QSizeF canvas(500, 260);
    const WatermarkOverlay still = Text(canvas, QStringLiteral("Mark"), 50, 4);
    const WatermarkOverlay moved = ImageTools::CreateTextWatermark(
        canvas, QStringLiteral("Mark"), Sans(), 50, kWhite, 4, 20, -20, false, false);
    EXPECT_EQ(moved.rect, still.rect.translated(-20, 20));
    EXPECT_EQ(InkBox(moved.toImage()), InkBox(still.toImage()).translated(-20, -20));
}

// Nothing to draw, nowhere to draw it or no opacity: the picture itself.
TEST(Watermarks, NothingToDrawReturnsThePictureItself) {
    const Image base = test::Flat(100, 60, 0.1f, 0.2f, 0.3f);
    const Image logo = test::Flat(10, 10, 1.f, 0.f, 0.f);
    const auto text = [&](const QString& t, double size, int position, double opacity) {
        return ImageTools::TextWatermarkImage(base, t, Sans(), size, kWhite, position, 0, 0,
                                              opacity, true, true);
    };
    const auto logoAt = [&](const Image& l, int position, double x, double opacity) {
        return ImageTools::LogoWatermarkImage(base, l, 1.0, position, 0, x, opacity);
    };
    const QString hi = QStringLiteral("Hi");
    const Image outs[] = {text(QString(), 40, 0, 1.0),  text(hi, 40, 0, 0.0),
                          text(hi, 40, 5, 1.0),         text(hi, 40, -1, 1.0),
                          text(hi, 0, 0, 1.0),          text(hi, -5, 0, 1.0),
                          text(hi, std::nan(""), 0, 1), text(hi, INFINITY, 0, 1.0),
                          logoAt(Image(), 0, 0, 1.0),   logoAt(logo, -1, 0, 1.0),
                          logoAt(logo, 5, 0, 1.0),      logoAt(logo, 0, 500, 1.0),  // off canvas
                          logoAt(logo, 0, 0, -1.0),     logoAt(logo, 0, 0, std::nan(""))};
    for (std::size_t i = 0; i < std::size(outs); ++i)
        EXPECT_TRUE(outs[i].sharesPixelsWith(base)) << i;
}

TEST(TextWatermark, WhiteTextHasNoGreyFringe) {
    const WatermarkOverlay overlay = Text(QSizeF(400, 120), QStringLiteral("Wavy"), 70, 0);
    int edges = 0;
    for (int y = 0; y < overlay.pixels.height(); ++y)
        for (int x = 0; x < overlay.pixels.width(); ++x) {
            const test::Rgba p = PixelAt(overlay.pixels, x, y);
            edges += p.a > 0.f && p.a < 1.f;
            ASSERT_TRUE(p.a <= 0.f || p.r + p.g + p.b == 3.f) << x << "," << y << " alpha " << p.a;
        }
    EXPECT_GT(edges, 50);  // the glyphs are antialiased

    // Blended over black, an edge pixel is exactly its coverage times the
    // opacity.
    const Image black = ImageTools::TextWatermarkImage(
        test::Flat(400, 120, 0, 0, 0), "Wavy", Sans(), 70, kWhite, 0, 0, 0, 0.7, false, false);
    const Image canvas = overlay.toImage();
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_NEAR(PixelAt(black, x, y).r, PixelAt(canvas, x, y).a * 0.7f, 1e-6);
}

TEST(TextWatermark, ShadowFallsOnlyBelowAndRightOfTheGlyphs) {
    const QSizeF size(420, 160);
    const Image plain = Text(size, QStringLiteral("Shadow"), 64, 4, false).toImage();
    const Image shaded = Text(size, QStringLiteral("Shadow"), 64, 4, true).toImage();
    const QRect ink = InkBox(plain);
    QRect changed;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const test::Rgba a = PixelAt(plain, x, y);
            const test::Rgba b = PixelAt(shaded, x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) continue;
            changed = changed.united(QRect(x, y, 1, 1));
            // A shadow pixel has glyph ink 0..6 pixels up and left of it.
            bool source = false;
            for (int j = 0; j <= 6 && !source; ++j)
                for (int i = 0; i <= 6 && !source; ++i)
                    source = x - i >= 0 && y - j >= 0 && PixelAt(plain, x - i, y - j).a > 0.f;
            ASSERT_TRUE(source) << x << "," << y;
        }
    EXPECT_TRUE(changed.left() >= ink.left() && changed.top() >= ink.top() &&
                changed.right() > ink.right() + 3 && changed.bottom() > ink.bottom() + 3);
    // Where only the shadow shows, it is black.
    int shadowOnly = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const test::Rgba b = PixelAt(shaded, x, y);
            if (PixelAt(plain, x, y).a > 0.f || b.a == 0.f) continue;
            ++shadowOnly;
            ASSERT_EQ(b.r + b.g + b.b, 0.f) << x << "," << y;
        }
    EXPECT_GT(shadowOnly, 100);
}

TEST(TextWatermark, StrokeOutlinesTheGlyphsInBlackOverTheirFill) {
    const QSizeF size(300, 160);
    const Image plain = Text(size, QStringLiteral("O"), 120, 4, false, false).toImage();
    const Image stroked = Text(size, QStringLiteral("O"), 120, 4, false, true).toImage();
    int dark = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            dark += PixelAt(stroked, x, y).a > 0.99f && PixelAt(stroked, x, y).r < 0.05f;
    EXPECT_GT(dark, 100);  // the outline: 2.4 pixels wide around the whole glyph
    // Half of the outline lies outside the glyph: the ink grows by about 1.2.
    const QRect a = InkBox(plain, 0.5f);
    const QRect b = InkBox(stroked, 0.5f);
    EXPECT_NEAR(b.width() - a.width(), 2, 1);
    EXPECT_NEAR(b.height() - a.height(), 2, 1);
}

TEST(TextWatermark, ColourAlphaIsKept) {
    const Image half =
        Text(QSizeF(300, 160), QStringLiteral("I"), 120, 4, false, false, {0.2, 0.6, 1.0, 0.5})
            .toImage();
    EXPECT_NEAR(PixelAt(half, 150, 80).a, 0.5f, 1e-3);
}

TEST(TextWatermark, LongTextWrapsWithinTheCanvasWidthWithLinesCentred) {
    const QSizeF size(300, 400);
    const QString text = QStringLiteral("several words that cannot fit on one line at all");
    const WatermarkOverlay overlay = Text(size, text, 40, 4);
    const double oneLine = Text(size, QStringLiteral("several"), 40, 4).rect.height();
    EXPECT_LE(overlay.rect.width(), 300.0);
    EXPECT_GE(overlay.rect.height(), 3 * oneLine - 1);
    const QRect ink = InkBox(overlay.toImage());
    EXPECT_TRUE(ink.left() > 0 && ink.right() < 299);  // nothing cut off at the edges

    // Two explicit lines of different widths share one centre.
    const Image two = Text(QSizeF(400, 300), QStringLiteral("WWWWWW\nW"), 40, 0).toImage();
    const QRect all = InkBox(two);
    const int middle = all.top() + all.height() / 2;
    QRect first, second;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            if (PixelAt(two, x, y).a > 0.f) (y < middle ? first : second) |= QRect(x, y, 1, 1);
    EXPECT_NEAR((first.left() + first.right()) / 2.0, (second.left() + second.right()) / 2.0, 2.0);
    EXPECT_GT(first.width(), 4 * second.width());
}

TEST(TextWatermark, FontSizeIsInPixelsAndMayBeFractional) {
    const QSizeF size(800, 300);
    const auto width = [&](double px) {
        return Text(size, QStringLiteral("Watermark"), px, 0).rect.width();
    };
    EXPECT_NEAR(width(80) / width(40), 2.0, 0.02);
    EXPECT_NEAR(width(80.5) / width(80), 80.5 / 80.0, 0.002);
    QFont font(Sans());
    font.setPixelSize(80);
    EXPECT_NEAR(Text(size, QStringLiteral("X"), 80, 0).rect.height(), QFontMetricsF(font).height(),
                3.0);
}

// Each entry: an installed family drawing Latin letters (its own or a look-alike);
// none and entries past the list: the desktop's sans-serif.
TEST(FontResolution, EveryEntryResolvesToAnInstalledFamilyThatDrawsLatinLetters) {
    const QStringList& names = FontFamilyNames();
    for (int index = -1; index < int(names.size()); ++index) {
        const QString family = ResolveFontFamily(index);
        const std::string what = (index < 0 ? QStringLiteral("none") : names[index]).toStdString() +
                                 " -> " + family.toStdString();
        const QString found = QFontInfo(QFont(family)).family();
        ASSERT_TRUE(found == family || found.startsWith(family + QStringLiteral(" ["))) << what;
        if (index >= 0) {
            EXPECT_TRUE(family == names[index] || LookAlikeFamilies(names[index]).contains(family))
                << what;
        }
        EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::Latin)) << what;
        const QFontMetrics metrics{QFont(family)};
        for (char32_t c = U'A'; c <= U'Z'; ++c)
            EXPECT_TRUE(metrics.inFontUcs4(c) && metrics.inFontUcs4(c + (U'a' - U'A'))) << what;
    }
    EXPECT_EQ(ResolveFontFamily(int(names.size())), ResolveFontFamily(-1));
    EXPECT_EQ(ResolveFontFamilyName(QStringLiteral("DejaVu Sans")), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(ResolveFontFamilyName(QStringLiteral("Nimbus Sans")), QStringLiteral("Nimbus Sans"));
}

}  // namespace
}  // namespace lumetra
