// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark: the laid-out glyphs filled in the text colour,
// outlined in black when the stroke is on, given a soft black shadow when
// the shadow is on, and blended over the picture.
#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "render/ImageTools.h"
#include "render/TextLayout.h"
#include "render/TextShadow.h"

namespace lumetra {
namespace {

// The outline's width as a percentage of the font size, drawn over the
// filled glyphs (half of it falls inside them, half outside).
constexpr double kStrokePercent = 2.0;

double UnitInterval(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

QColor ToQColor(const RgbaColor& c) {
    return QColor::fromRgbF(float(UnitInterval(c.red)), float(UnitInterval(c.green)),
                            float(UnitInterval(c.blue)), float(UnitInterval(c.alpha)));
}

// Every glyph filled, then (with a pen) every glyph outlined, on a
// transparent RGBA64 premultiplied picture covering `area` of the canvas
// (y down), read back as float premultiplied RGBA. Glyphs outside the area
// are skipped; each is filled on its own, which the rasteriser does far
// faster than one path holding every glyph.
std::vector<float> PaintGlyphs(const GlyphLayout& text, const std::vector<QRectF>& boxes,
                               const QRect& area, const QColor& fill, const QPen* stroke) {
    QImage canvas(area.size(), QImage::Format_RGBA64_Premultiplied);
    if (canvas.isNull()) throw std::bad_alloc();
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const QRectF visible(area);
        for (const bool outline : {false, true}) {
            if (outline && !stroke) break;
            for (const GlyphLayout::Placed& glyph : text.glyphs) {
                if (!boxes[std::size_t(glyph.shape)].translated(glyph.at).intersects(visible))
                    continue;
                painter.setTransform(
                    QTransform::fromTranslate(glyph.at.x() - area.x(), glyph.at.y() - area.y()));
                const QPainterPath& shape = text.shapes[std::size_t(glyph.shape)];
                if (outline)
                    painter.strokePath(shape, *stroke);
                else
                    painter.fillPath(shape, fill);
            }
        }
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
                                                 bool useShadow, bool useStroke,
                                                 double shadowScale) {
    WatermarkOverlay overlay;
    const ShadowShape shadow = ScaledShadow(shadowScale);
    const double W = std::isfinite(size.width()) ? std::max(size.width(), 0.0) : 0.0;
    const double H = std::isfinite(size.height()) ? std::max(size.height(), 0.0) : 0.0;
    overlay.canvas = QSize(int(std::min(W, 1e9)), int(std::min(H, 1e9)));
    overlay.rect =
        WatermarkRect(QSizeF(W, H), QSizeF(0.0, 0.0), position, verticalOffset, horizontalOffset);
    if (text.isEmpty() || overlay.canvas.isEmpty() || !(textFontSize > 0.0) ||
        !std::isfinite(textFontSize))
        return overlay;

    // One point of the font size is one pixel of the picture.
    GlyphLayout laidOut = LayOutText(text, textFontType, textFontSize, W);
    overlay.rect = WatermarkRect(QSizeF(W, H), QSizeF(laidOut.width, laidOut.height), position,
                                 verticalOffset, horizontalOffset);
    if (overlay.rect.isEmpty() || laidOut.glyphs.empty()) return overlay;

    // From canvas coordinates (y up) to the picture's rows (y down).
    const double left = overlay.rect.x();
    const double top = H - overlay.rect.y() - overlay.rect.height();
    if (!std::isfinite(left) || !std::isfinite(top)) return overlay;
    // Wholly off the canvas: nothing to draw. Glyphs reach past their lines
    // (overhangs, the outline, the shadow) by less than a font size. Checked
    // before the glyphs move, as far-off places leave them no precision.
    const double margin = textFontSize + 2.0 * (kShadowOffset + kShadowBlurRadius);
    if (left - margin >= W || top - margin >= H || left + laidOut.width + margin <= 0.0 ||
        top + laidOut.height + margin <= 0.0)
        return overlay;
    laidOut.translate(QPointF(left, top));

    // Each distinct glyph's ink box, the outline included when it is drawn.
    QPen strokePen(Qt::black, textFontSize * kStrokePercent / 100.0);
    strokePen.setJoinStyle(Qt::MiterJoin);
    const QPainterPathStroker stroker(strokePen);
    std::vector<QRectF> boxes;
    boxes.reserve(laidOut.shapes.size());
    for (const QPainterPath& shape : laidOut.shapes) {
        QRectF box = shape.boundingRect();
        if (useStroke) box = box.united(stroker.createStroke(shape).boundingRect());
        boxes.push_back(box.adjusted(-1.0, -1.0, 1.0, 1.0));  // antialiased edge pixels
    }
    const QRectF ink = laidOut.bounds(boxes);
    const QRectF reach = useShadow ? ink.united(ShadowReach(ink, shadow)) : ink;
    overlay.patch =
        PixelBoxOnCanvas(reach.left(), reach.top(), reach.right(), reach.bottom(), overlay.canvas);
    if (overlay.patch.isEmpty()) return overlay;

    // With a shadow, the glyphs up and left of the patch cast shadow into
    // it, so they are painted too.
    const QRect painted = useShadow ? ShadowSourceArea(overlay.patch, shadow) : overlay.patch;
    const std::vector<float> glyphs =
        PaintGlyphs(laidOut, boxes, painted, ToQColor(textColor), useStroke ? &strokePen : nullptr);
    overlay.pixels = Image::CreateUninitialised(overlay.patch.width(), overlay.patch.height());
    ComposeOverShadow(glyphs, painted, overlay.patch, useShadow, shadow, overlay.pixels);
    return overlay;
}

Image ImageTools::TextWatermarkImage(Image image, const QString& text, const QString& textFontType,
                                     double textFontSize, const RgbaColor& textColor, int position,
                                     double verticalOffset, double horizontalOffset, double opacity,
                                     bool useShadow, bool useStroke, double shadowScale) {
    if (image.isEmpty() || text.isEmpty() || !(opacity > 0.0)) return image;
    const WatermarkOverlay overlay = CreateTextWatermark(
        QSizeF(image.width(), image.height()), text, textFontType, textFontSize, textColor,
        position, verticalOffset, horizontalOffset, useShadow, useStroke, shadowScale);
    return BlendWatermark(std::move(image), overlay, opacity);
}

}  // namespace lumetra
