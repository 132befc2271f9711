// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark's layout: the text as a paragraph of lines no wider
// than the canvas, each line centred within the widest, turned into glyph
// outlines. Each distinct glyph is outlined once and placed many times,
// which keeps long texts quick to outline and to fill.
#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

namespace lumetra {

struct GlyphLayout {
    struct Placed {
        int shape;   // index into shapes
        QPointF at;  // where the shape's origin goes
    };
    std::vector<QPainterPath> shapes;  // distinct glyph outlines, non-zero winding
    std::vector<Placed> glyphs;
    double width = 0.0;   // the widest line
    double height = 0.0;  // all lines, one under the other

    // Scales the whole block about its top-left corner.
    void scale(double factor);
    // Moves every glyph.
    void translate(QPointF by);
    // The union of each placed glyph's box, given one box per shape.
    QRectF bounds(const std::vector<QRectF>& shapeBoxes) const;
};

// Lays the text out in the family at pixelSize pixels (fractions kept),
// breaking lines between words, or inside a word too long for a line, so
// that no line is wider than maxWidth; line breaks in the text start new
// lines. The block's top-left corner is at (0, 0), y down.
GlyphLayout LayOutText(const QString& text, const QString& family, double pixelSize,
                       double maxWidth);

}  // namespace lumetra
