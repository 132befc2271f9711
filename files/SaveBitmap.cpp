// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/SaveBitmap.h"

#include <QPainter>
#include <atomic>
#include <climits>
#include <cmath>

#include "render/Parallel.h"

namespace lumetra {
namespace {

// A side in points to whole pixels, cut toward zero; -1 when refused.
int PixelSide(double points) {
    if (!std::isfinite(points) || points < 1.0 || points >= double(INT_MAX)) return -1;
    return int(points);
}

}  // namespace

bool SaveBitmapSize(const QImage& image, QSize* size) {
    if (image.isNull()) return false;
    const QSizeF points = image.deviceIndependentSize();
    const int width = PixelSide(points.width());
    const int height = PixelSide(points.height());
    if (width < 1 || height < 1) return false;
    if (std::int64_t(width) * std::int64_t(height) > kMaxSavePixels) return false;
    *size = QSize(width, height);
    return true;
}

bool IsSaveBitmap(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGBA8888:
        case QImage::Format_RGBX8888:
            return true;
        case QImage::Format_ARGB32:
        case QImage::Format_RGB32:
            // 0xAARRGGBB words: blue, green, red, alpha in memory only on a
            // little-endian machine.
            return Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
        default:
            return false;
    }
}

bool IsBlueFirst(const QImage& bitmap) {
    return bitmap.format() == QImage::Format_ARGB32 || bitmap.format() == QImage::Format_RGB32;
}

QImage DrawSaveBitmap(const QImage& image) {
    QSize size;
    if (!SaveBitmapSize(image, &size)) return {};
    if (size == image.size()) {
        QImage bitmap =
            IsSaveBitmap(image) ? image : image.convertToFormat(QImage::Format_RGBA8888);
        bitmap.setDevicePixelRatio(1.0);  // copies the pixels only when the ratio was not 1
        return bitmap;
    }
    // Source-over onto a transparent bitmap, the picture stretched to fill
    // it. Qt paints fastest into premultiplied pixels; the bitmap's own
    // layout is straight alpha.
    QImage canvas(size, QImage::Format_RGBA8888_Premultiplied);
    if (canvas.isNull()) return {};
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(1.0);
        painter.drawImage(QRectF(0, 0, size.width(), size.height()), image,
                          QRectF(0, 0, image.width(), image.height()));
    }
    return canvas.convertToFormat(QImage::Format_RGBA8888);
}

bool HasTransparentPixels(const QImage& bitmap) {
    if (!bitmap.hasAlphaChannel()) return false;
    std::atomic<bool> found{false};
    const int width = bitmap.width();
    ParallelBands(bitmap.height(), width, [&](int y0, int y1) {
        for (int y = y0; y < y1 && !found.load(std::memory_order_relaxed); ++y) {
            const uchar* line = bitmap.constScanLine(y);
            uchar all = 255;
            for (int x = 0; x < width; ++x) all &= line[4 * x + 3];
            if (all != 255) found.store(true, std::memory_order_relaxed);
        }
    });
    return found.load();
}

QImage DropAlpha(const QImage& bitmap) {
    QImage out(bitmap.size(), QImage::Format_RGB888);
    if (out.isNull()) return out;
    const int width = bitmap.width();
    const int red = IsBlueFirst(bitmap) ? 2 : 0;  // byte of red; blue is at 2 - red
    ParallelBands(bitmap.height(), width, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* in = bitmap.constScanLine(y);
            uchar* line = out.scanLine(y);
            for (int x = 0; x < width; ++x) {
                line[3 * x] = in[4 * x + red];
                line[3 * x + 1] = in[4 * x + 1];
                line[3 * x + 2] = in[4 * x + 2 - red];
            }
        }
    });
    return out;
}

QImage FlattenOntoWhite(const QImage& bitmap) {
    QImage out(bitmap.size(), QImage::Format_RGB32);
    if (out.isNull()) return out;
    const int width = bitmap.width();
    const int red = IsBlueFirst(bitmap) ? 2 : 0;
    const bool opaque = !bitmap.hasAlphaChannel();
    ParallelBands(bitmap.height(), width, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* in = bitmap.constScanLine(y);
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const uchar* px = in + 4 * x;
                const int r = px[red], g = px[1], b = px[2 - red];
                const int a = opaque ? 255 : px[3];
                line[x] = a == 255 ? qRgb(r, g, b)
                                   : qRgb(OverWhite(r, a), OverWhite(g, a), OverWhite(b, a));
            }
        }
    });
    return out;
}

}  // namespace lumetra
