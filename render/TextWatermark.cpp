// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark: the text laid out as a centred paragraph within the
// canvas width, turned into glyph outlines, filled in the text colour,
// outlined in black when the stroke is on, given a soft black shadow when
// the shadow is on, and blended over the picture.
#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "render/ImageTools.h"
#include "render/TextShadow.h"

namespace lumetra {
namespace {

// The outline's width as a percentage of the font size, drawn over the
// filled glyphs (half of it falls inside them, half outside).
constexpr double kStrokePercent = 2.0;

// Glyphs are laid out at a reference size of whole pixels (which the font
// engine needs) no smaller than this, and then scaled to the font size: every
// size, fractional ones included, gets the same proportions.
constexpr double kMinReferencePixels = 256.0;
constexpr double kMaxReferencePixels = 4096.0;

struct LaidOutText {
    QPainterPath outlines;  // the block's top-left corner at (0, 0)
    double width = 0.0;     // the widest line
    double height = 0.0;    // all lines
};

// Line breaks of every kind become the layout's own line separator.
QString AsParagraph(QString text) {
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    for (const QChar c : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::ParagraphSeparator)})
        text.replace(c, QChar::LineSeparator);
    return text;
}

// Lays the text out in lines no wider than maxWidth (breaking between words,
// or inside a word too long for a line), each line centred within the
// widest, one under the other from the top.
LaidOutText LayOut(const QString& text, const QFont& font, double maxWidth) {
    LaidOutText out;
    QTextLayout layout(AsParagraph(text), font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);  // fractional advances, as the outlines have them
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(maxWidth);
        line.setPosition(QPointF(0.0, out.height));
        out.height += line.height();
        out.width = std::max(out.width, line.naturalTextWidth());
    }
    layout.endLayout();

    out.outlines.setFillRule(Qt::WindingFill);
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont rawFont = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            out.outlines.addPath(rawFont.pathForGlyph(glyphs[i]).translated(positions[i]));
    }
    // The layout centred each line within maxWidth; centre them within the
    // widest line instead, which starts at x = 0.
    out.outlines.translate((out.width - maxWidth) * 0.5, 0.0);
    return out;
}

double UnitInterval(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

QColor ToQColor(const RgbaColor& c) {
    return QColor::fromRgbF(float(UnitInterval(c.red)), float(UnitInterval(c.green)),
                            float(UnitInterval(c.blue)), float(UnitInterval(c.alpha)));
}

// The outlines filled and stroked on a transparent RGBA64 premultiplied
// picture covering `area` of the canvas (y down), read back as float
// premultiplied RGBA.
std::vector<float> PaintGlyphs(const QPainterPath& outlines, const QRect& area, const QColor& fill,
                               const QPen* stroke) {
    QImage canvas(area.size(), QImage::Format_RGBA64_Premultiplied);
    if (canvas.isNull()) throw std::bad_alloc();
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-area.x(), -area.y());
        painter.fillPath(outlines, fill);
        if (stroke) painter.strokePath(outlines, *stroke);
    }
    std::vector<float> pixels(std::size_t(area.width()) * std::size_t(area.height()) * 4);
    for (int y = 0; y < area.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgba64*>(canvas.constScanLine(y));
        float* dst = pixels.data() + std::size_t(y) * std::size_t(area.width()) * 4;
        for (int x = 0; x < area.width(); ++x) {
            dst[4 * x + 0] = float(line[x].red()) / 65535.f;
            dst[4 * x + 1] = float(line[x].green()) / 65535.f;
            dst[4 * x + 2] = float(line[x].blue()) / 65535.f;
            dst[4 * x + 3] = float(line[x].alpha()) / 65535.f;
        }
    }
    return pixels;
}

}  // namespace

WatermarkOverlay ImageTools::CreateTextWatermark(QSizeF size, const QString& text,
                                                 const QString& textFontType, double textFontSize,
                                                 const RgbaColor& textColor, int position,
                                                 double verticalOffset, double horizontalOffset,
                                                 bool useShadow, bool useStroke) {
    WatermarkOverlay overlay;
    const double W = std::isfinite(size.width()) ? std::max(size.width(), 0.0) : 0.0;
    const double H = std::isfinite(size.height()) ? std::max(size.height(), 0.0) : 0.0;
    overlay.canvas = QSize(int(std::min(W, 1e9)), int(std::min(H, 1e9)));
    overlay.rect =
        WatermarkRect(QSizeF(W, H), QSizeF(0.0, 0.0), position, verticalOffset, horizontalOffset);
    if (text.isEmpty() || overlay.canvas.isEmpty() || !(textFontSize > 0.0) ||
        !std::isfinite(textFontSize))
        return overlay;

    // One point of the font size is one pixel of the picture.
    const double reference =
        std::clamp(std::ceil(textFontSize), kMinReferencePixels, kMaxReferencePixels);
    const double toSize = textFontSize / reference;
    QFont font(textFontType);
    font.setPixelSize(int(reference));
    font.setHintingPreference(QFont::PreferNoHinting);  // outlines and layout agree exactly
    font.setStyleStrategy(QFont::PreferAntialias);
    LaidOutText laidOut = LayOut(text, font, W / toSize);
    laidOut.outlines = QTransform::fromScale(toSize, toSize).map(laidOut.outlines);
    laidOut.width *= toSize;
    laidOut.height *= toSize;
    overlay.rect = WatermarkRect(QSizeF(W, H), QSizeF(laidOut.width, laidOut.height), position,
                                 verticalOffset, horizontalOffset);
    if (overlay.rect.isEmpty() || laidOut.outlines.isEmpty()) return overlay;

    // From canvas coordinates (y up) to the picture's rows (y down).
    const double left = overlay.rect.x();
    const double top = H - overlay.rect.y() - overlay.rect.height();
    if (!std::isfinite(left) || !std::isfinite(top)) return overlay;
    laidOut.outlines.translate(left, top);

    QPen strokePen(Qt::black, textFontSize * kStrokePercent / 100.0);
    strokePen.setJoinStyle(Qt::MiterJoin);
    QRectF ink = laidOut.outlines.boundingRect();
    if (useStroke) {
        QPainterPathStroker stroker(strokePen);
        ink = ink.united(stroker.createStroke(laidOut.outlines).boundingRect());
    }
    ink.adjust(-1.0, -1.0, 1.0, 1.0);  // antialiased edge pixels
    QRectF reach = ink;
    if (useShadow) reach = reach.united(ShadowReach(ink));
    overlay.patch =
        PixelBoxOnCanvas(reach.left(), reach.top(), reach.right(), reach.bottom(), overlay.canvas);
    if (overlay.patch.isEmpty()) return overlay;

    // With a shadow, the glyphs up and left of the patch cast shadow into
    // it, so they are painted too.
    const QRect painted = useShadow ? ShadowSourceArea(overlay.patch) : overlay.patch;
    std::vector<float> glyphs = PaintGlyphs(laidOut.outlines, painted, ToQColor(textColor),
                                            useStroke ? &strokePen : nullptr);
    overlay.pixels = Image::CreateUninitialised(overlay.patch.width(), overlay.patch.height());
    ComposeOverShadow(glyphs, painted, overlay.patch, useShadow, overlay.pixels);
    return overlay;
}

Image ImageTools::TextWatermarkImage(Image image, const QString& text, const QString& textFontType,
                                     double textFontSize, const RgbaColor& textColor, int position,
                                     double verticalOffset, double horizontalOffset, double opacity,
                                     bool useShadow, bool useStroke) {
    if (image.isEmpty() || text.isEmpty() || !(opacity > 0.0)) return image;
    const WatermarkOverlay overlay = CreateTextWatermark(
        QSizeF(image.width(), image.height()), text, textFontType, textFontSize, textColor,
        position, verticalOffset, horizontalOffset, useShadow, useStroke);
    return BlendWatermark(std::move(image), overlay, opacity);
}

}  // namespace lumetra
