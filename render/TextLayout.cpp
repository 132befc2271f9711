// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/TextLayout.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace lumetra {
namespace {

// Glyphs are laid out at a reference size of whole pixels (which the font
// engine needs) no smaller than this, and then scaled to the font size: every
// size, fractional ones included, gets the same proportions.
constexpr double kMinReferencePixels = 256.0;
constexpr double kMaxReferencePixels = 4096.0;

// Line breaks of every kind become the layout's own line separator.
QString AsParagraph(QString text) {
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    for (const QChar c : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::ParagraphSeparator)})
        text.replace(c, QChar::LineSeparator);
    return text;
}

}  // namespace

void GlyphLayout::scale(double factor) {
    const QTransform transform = QTransform::fromScale(factor, factor);
    for (QPainterPath& shape : shapes) shape = transform.map(shape);
    for (Placed& glyph : glyphs) glyph.at *= factor;
    width *= factor;
    height *= factor;
}

void GlyphLayout::translate(QPointF by) {
    for (Placed& glyph : glyphs) glyph.at += by;
}

QRectF GlyphLayout::bounds(const std::vector<QRectF>& shapeBoxes) const {
    QRectF all;
    for (const Placed& glyph : glyphs)
        all = all.united(shapeBoxes[std::size_t(glyph.shape)].translated(glyph.at));
    return all;
}

GlyphLayout LayOutText(const QString& text, const QString& family, double pixelSize,
                       double maxWidth) {
    const double reference =
        std::clamp(std::ceil(pixelSize), kMinReferencePixels, kMaxReferencePixels);
    const double toSize = pixelSize / reference;
    QFont font(family);
    font.setPixelSize(int(reference));
    font.setHintingPreference(QFont::PreferNoHinting);  // outlines and layout agree exactly
    font.setStyleStrategy(QFont::PreferAntialias);
    const double referenceWidth = maxWidth / toSize;

    GlyphLayout out;
    QTextLayout layout(AsParagraph(text), font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);  // fractional advances, as the outlines have them
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(referenceWidth);
        line.setPosition(QPointF(0.0, out.height));
        out.height += line.height();
        out.width = std::max(out.width, line.naturalTextWidth());
    }
    layout.endLayout();

    // The layout centred each line within the full width; centre them within
    // the widest line instead, which starts at x = 0.
    const QPointF recentre((out.width - referenceWidth) * 0.5, 0.0);
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont rawFont = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        QHash<quint32, int> shapeOf;
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            auto found = shapeOf.constFind(indexes[i]);
            if (found == shapeOf.constEnd()) {
                QPainterPath shape = rawFont.pathForGlyph(indexes[i]);
                int shapeIndex = -1;  // spaces and other blanks have no shape
                if (!shape.isEmpty()) {
                    shape.setFillRule(Qt::WindingFill);
                    out.shapes.push_back(std::move(shape));
                    shapeIndex = int(out.shapes.size()) - 1;
                }
                found = shapeOf.insert(indexes[i], shapeIndex);
            }
            if (*found >= 0) out.glyphs.push_back({*found, positions[i] + recentre});
        }
    }
    out.scale(toSize);
    return out;
}

}  // namespace lumetra
