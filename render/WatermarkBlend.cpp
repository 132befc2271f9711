// SPDX-License-Identifier: GPL-3.0-or-later
// Placing a watermark on the canvas and blending its overlay over the base.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/ImageTools.h"
#include "render/WatermarkOverlay.h"

namespace lumetra {
namespace {

// Mixes one straight-alpha overlay row into a float base row. Written as
// base * (1 - k) + overlay * k so that k = 1 gives the overlay exactly and
// k = 0 the base exactly.
void BlendFloatRow(float* base, const float* overlay, int pixels, float opacity) {
    for (int x = 0; x < pixels; ++x) {
        const float* o = overlay + 4 * x;
        float* b = base + 4 * x;
        const float k = o[3] * opacity;
        const float keep = 1.f - k;
        b[0] = b[0] * keep + o[0] * k;
        b[1] = b[1] * keep + o[1] * k;
        b[2] = b[2] * keep + o[2] * k;
    }
}

// The same for an 8-bit base row; r, g and b are the byte positions of the
// channels within a pixel. Alpha bytes are never written.
void BlendByteRow(unsigned char* base, const float* overlay, int pixels, float opacity, int r,
                  int g, int b) {
    const float* table = ByteToFloatTable();
    for (int x = 0; x < pixels; ++x) {
        const float* o = overlay + 4 * x;
        const float k = o[3] * opacity;
        if (k <= 0.f) continue;  // transparent overlay: the byte stays exactly as it was
        unsigned char* p = base + 4 * x;
        const float br = table[p[r]];
        const float bg = table[p[g]];
        const float bb = table[p[b]];
        const float keep = 1.f - k;
        p[r] = FloatToByte(br * keep + o[0] * k);
        p[g] = FloatToByte(bg * keep + o[1] * k);
        p[b] = FloatToByte(bb * keep + o[2] * k);
    }
}

}  // namespace

QRect PixelBoxOnCanvas(double left, double top, double right, double bottom, QSize canvas) {
    // Cut in floating point first, so huge or infinite bounds never reach int.
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, double(canvas.width()));
    bottom = std::min(bottom, double(canvas.height()));
    if (!(right > left) || !(bottom > top)) return QRect();
    const int x0 = int(std::floor(left));
    const int y0 = int(std::floor(top));
    const int x1 = int(std::ceil(right));
    const int y1 = int(std::ceil(bottom));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

Image WatermarkOverlay::toImage() const {
    Image out = Image::Create(canvas.width(), canvas.height());
    for (int y = 0; y < patch.height(); ++y)
        std::memcpy(out.row(patch.y() + y) + 4 * patch.x(), pixels.row(y),
                    pixels.rowFloats() * sizeof(float));
    return out;
}

QRectF ImageTools::WatermarkRect(QSizeF canvas, QSizeF watermark, int position,
                                 double verticalOffset, double horizontalOffset) {
    const double W = canvas.width();
    const double H = canvas.height();
    const double w = watermark.width();
    const double h = watermark.height();
    QRectF rect;
    switch (position) {
        case 0:
            rect = QRectF(0.0, 0.0, w, h);
            break;
        case 1:
            rect = QRectF(W - w, 0.0, w, h);
            break;
        case 2:
            rect = QRectF(0.0, H - h, w, h);
            break;
        case 3:
            rect = QRectF(W - w, H - h, w, h);
            break;
        case 4:
            rect = QRectF((W - w) * 0.5, (H - h) * 0.5, w, h);
            break;
        default:
            rect = QRectF(0.0, 0.0, 0.0, 0.0);
            break;
    }
    rect.translate(horizontalOffset, verticalOffset);
    return rect;
}

Image ImageTools::BlendWatermark(Image base, const WatermarkOverlay& overlay, double opacity) {
    const float mix = std::isnan(opacity) ? 0.f : float(std::clamp(opacity, 0.0, 1.0));
    const QRect patch = overlay.patch.intersected(QRect(0, 0, base.width(), base.height()));
    if (mix == 0.f || patch.isEmpty() || overlay.pixels.isEmpty() || !overlay.pixels.isFloat())
        return base;
    base.detach();
    const int dx = patch.x() - overlay.patch.x();
    const int dy = patch.y() - overlay.patch.y();
    const int width = patch.width();
    const bool isFloat = base.isFloat();
    const bool bgra = !isFloat && base.eightBitIsBgra();
    // 8-bit rows are found from the first one, taken once here: the threads
    // below must not ask the shared picture for rows themselves.
    unsigned char* bytes = isFloat ? nullptr : base.eightBitRow(0);
    const qsizetype stride = isFloat ? 0 : base.eightBit().bytesPerLine();
    WatermarkBands(patch.height(), width, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const float* src = overlay.pixels.row(dy + y) + 4 * dx;
            if (isFloat) {
                BlendFloatRow(base.row(patch.y() + y) + 4 * patch.x(), src, width, mix);
            } else {
                unsigned char* dst = bytes + (patch.y() + y) * stride + 4 * patch.x();
                if (bgra)
                    BlendByteRow(dst, src, width, mix, 2, 1, 0);
                else
                    BlendByteRow(dst, src, width, mix, 0, 1, 2);
            }
        }
    });
    return base;
}

}  // namespace lumetra
