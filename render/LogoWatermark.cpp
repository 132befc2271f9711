// SPDX-License-Identifier: GPL-3.0-or-later
// The logo watermark: the whole logo resampled into its rectangle on the
// canvas and blended over the picture.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/ImageTools.h"
#include "render/Resampling.h"
#include "render/WatermarkOverlay.h"

namespace lumetra {
namespace {

// The logo resampled onto the patch, straight alpha.
Image ResampleLogo(const Image& logo, const ResampleAxis& across, const ResampleAxis& down,
                   int width, int height) {
    int rowLo = logo.height();
    int rowHi = -1;
    for (int o = 0; o < height; ++o) {
        rowLo = std::min(rowLo, down.first[std::size_t(o)]);
        rowHi = std::max(rowHi, down.first[std::size_t(o)] + down.count[std::size_t(o)] - 1);
    }
    const int rows = rowHi - rowLo + 1;
    const std::size_t rowFloats = std::size_t(width) * 4;

    // Across: each logo row that counts, premultiplied, at the patch's width.
    std::vector<float> wide(std::size_t(rows) * rowFloats);
    WatermarkBands(rows, std::int64_t(width) * across.taps, [&](int r0, int r1) {
        std::vector<float> scratch(logo.rowFloats());
        for (int r = r0; r < r1; ++r) {
            const float* src = logo.rowAsFloat(rowLo + r, scratch.data());
            float* dst = wide.data() + std::size_t(r) * rowFloats;
            for (int o = 0; o < width; ++o) {
                const float* w = &across.weights[std::size_t(o) * std::size_t(across.taps)];
                const float* p = src + 4 * across.first[std::size_t(o)];
                float acc[4] = {0.f, 0.f, 0.f, 0.f};
                for (int t = 0; t < across.count[std::size_t(o)]; ++t) {
                    const float weight = w[t] * p[4 * t + 3];
                    acc[0] += p[4 * t + 0] * weight;
                    acc[1] += p[4 * t + 1] * weight;
                    acc[2] += p[4 * t + 2] * weight;
                    acc[3] += weight;
                }
                for (int k = 0; k < 4; ++k) dst[4 * o + k] = acc[k];
            }
        }
    });

    // Down, then back to straight alpha with the edge coverage applied.
    Image out = Image::CreateUninitialised(width, height);
    WatermarkBands(height, std::int64_t(width) * down.taps, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            std::fill(dst, dst + rowFloats, 0.f);
            const float* w = &down.weights[std::size_t(y) * std::size_t(down.taps)];
            for (int t = 0; t < down.count[std::size_t(y)]; ++t) {
                const int r = down.first[std::size_t(y)] + t - rowLo;
                const float* src = wide.data() + std::size_t(r) * rowFloats;
                for (std::size_t i = 0; i < rowFloats; ++i) dst[i] += src[i] * w[t];
            }
            const float coverY = down.coverage[std::size_t(y)];
            for (int x = 0; x < width; ++x) {
                float* p = dst + 4 * x;
                if (p[3] > 0.f) {
                    p[0] = std::min(p[0] / p[3], 1.f);
                    p[1] = std::min(p[1] / p[3], 1.f);
                    p[2] = std::min(p[2] / p[3], 1.f);
                    p[3] = std::min(p[3], 1.f) * across.coverage[std::size_t(x)] * coverY;
                } else {
                    p[0] = p[1] = p[2] = p[3] = 0.f;
                }
            }
        }
    });
    return out;
}

}  // namespace

WatermarkOverlay ImageTools::CreateLogoWatermark(QSizeF size, const Image& logo, double scale,
                                                 int position, double verticalOffset,
                                                 double horizontalOffset) {
    WatermarkOverlay overlay;
    const double W = std::isfinite(size.width()) ? std::max(size.width(), 0.0) : 0.0;
    const double H = std::isfinite(size.height()) ? std::max(size.height(), 0.0) : 0.0;
    overlay.canvas = QSize(int(std::min(W, 1e9)), int(std::min(H, 1e9)));
    // The logo's own size in points, times the scale.
    const bool drawable = !logo.isEmpty() && scale > 0.0 && std::isfinite(scale);
    const QSizeF drawn =
        drawable ? QSizeF(logo.width() * scale, logo.height() * scale) : QSizeF(0.0, 0.0);
    overlay.rect = WatermarkRect(QSizeF(W, H), drawn, position, verticalOffset, horizontalOffset);
    if (!drawable || overlay.rect.isEmpty() || overlay.canvas.isEmpty()) return overlay;

    // From canvas coordinates (y up) to the picture's rows (y down).
    const double left = overlay.rect.x();
    const double top = H - overlay.rect.y() - overlay.rect.height();
    const double w = overlay.rect.width();
    const double h = overlay.rect.height();
    if (!std::isfinite(left) || !std::isfinite(top)) return overlay;
    overlay.patch = PixelBoxOnCanvas(left, top, left + w, top + h, overlay.canvas);
    if (overlay.patch.isEmpty()) return overlay;

    const ResampleAxis across =
        MakeResampleAxis(logo.width(), left, w, overlay.patch.x(), overlay.patch.width());
    const ResampleAxis down =
        MakeResampleAxis(logo.height(), top, h, overlay.patch.y(), overlay.patch.height());
    overlay.pixels =
        ResampleLogo(logo, across, down, overlay.patch.width(), overlay.patch.height());
    return overlay;
}

Image ImageTools::LogoWatermarkImage(Image image, const Image& logo, double scale, int position,
                                     double verticalOffset, double horizontalOffset,
                                     double opacity) {
    if (image.isEmpty() || logo.isEmpty() || !(opacity > 0.0)) return image;
    const WatermarkOverlay overlay =
        CreateLogoWatermark(QSizeF(image.width(), image.height()), logo, scale, position,
                            verticalOffset, horizontalOffset);
    return BlendWatermark(std::move(image), overlay, opacity);
}

}  // namespace lumetra
