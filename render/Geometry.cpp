// SPDX-License-Identifier: GPL-3.0-or-later
// Rotation, resizing and the final redraw.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/Resampling.h"

namespace lumetra {
namespace {

// The largest canvas a rotation or resize may make, in pixels per side.
constexpr double kMaxCanvasSide = 1 << 20;

// Bilinear sample of a float picture at (fx, fy) in pixel-index space
// (pixel centres at whole numbers). Taps outside the picture are
// transparent, so the picture's border fades out over one pixel instead of
// being cut hard. Colours are averaged premultiplied: a transparent
// neighbour adds no dark fringe.
inline void SampleTransparentEdge(const Image& src, float fx, float fy, float* out) {
    const float x0f = std::floor(fx);
    const float y0f = std::floor(fy);
    const float tx = fx - x0f;
    const float ty = fy - y0f;
    const int x0 = int(x0f);
    const int y0 = int(y0f);
    const int w = src.width();
    const int h = src.height();
    float acc[4] = {0.f, 0.f, 0.f, 0.f};
    const float wx[2] = {1.f - tx, tx};
    const float wy[2] = {1.f - ty, ty};
    if (x0 >= 0 && y0 >= 0 && x0 + 1 < w && y0 + 1 < h) {
        // All four taps inside, as for most pixels: the same sums without
        // the checks (a tap of weight 0 adds exactly 0).
        for (int j = 0; j < 2; ++j) {
            const float* p = src.row(y0 + j) + 4 * x0;
            for (int i = 0; i < 2; ++i, p += 4) {
                const float weight = wx[i] * wy[j] * p[3];
                acc[0] += p[0] * weight;
                acc[1] += p[1] * weight;
                acc[2] += p[2] * weight;
                acc[3] += weight;
            }
        }
    } else {
        for (int j = 0; j < 2; ++j) {
            const int y = y0 + j;
            if (y < 0 || y >= h || wy[j] == 0.f) continue;
            const float* row = src.row(y);
            for (int i = 0; i < 2; ++i) {
                const int x = x0 + i;
                if (x < 0 || x >= w || wx[i] == 0.f) continue;
                const float* p = row + 4 * x;
                const float weight = wx[i] * wy[j] * p[3];
                acc[0] += p[0] * weight;
                acc[1] += p[1] * weight;
                acc[2] += p[2] * weight;
                acc[3] += weight;
            }
        }
    }
    if (acc[3] > 0.f) {
        const float inv = 1.f / acc[3];
        out[0] = std::min(acc[0] * inv, 1.f);
        out[1] = std::min(acc[1] * inv, 1.f);
        out[2] = std::min(acc[2] * inv, 1.f);
        out[3] = std::min(acc[3], 1.f);
    } else {
        out[0] = out[1] = out[2] = out[3] = 0.f;
    }
}


}  // namespace

void ImageTools::RotatedCanvasSize(double width, double height, double degrees, double* outWidth,
                                   double* outHeight) {
    const double a = degrees * M_PI / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    *outWidth = std::abs(width * c) + std::abs(height * s);
    *outHeight = std::abs(width * s) + std::abs(height * c);
}

Image ImageTools::RotateImage(const Image& image, double degrees) {
    if (degrees == 0.0 || degrees == 360.0) return image;
    if (image.isEmpty() || !std::isfinite(degrees)) return image;
    double canvasW = 0.0;
    double canvasH = 0.0;
    RotatedCanvasSize(image.width(), image.height(), degrees, &canvasW, &canvasH);
    // The canvas is whole pixels: the size cut toward zero, which is also
    // what the output size fields show.
    const int outW = int(std::min(canvasW, kMaxCanvasSide));
    const int outH = int(std::min(canvasH, kMaxCanvasSide));
    Image out = Image::CreateUninitialised(outW, outH);
    if (out.isEmpty()) return out;
    const Image src = image.toFloat();

    // Inverse map from an output pixel centre to the source, about the
    // centres of both. Screen y points down, so a counter-clockwise turn as
    // seen maps a source offset (x, y) to (c x + s y, -s x + c y); its
    // inverse is applied here.
    const double a = degrees * M_PI / 180.0;
    const float c = float(std::cos(a));
    const float s = float(std::sin(a));
    const float outCx = float(outW) * 0.5f;
    const float outCy = float(outH) * 0.5f;
    const float srcCx = float(src.width()) * 0.5f - 0.5f;
    const float srcCy = float(src.height()) * 0.5f - 0.5f;
    // Each band is walked in blocks of columns: a turned row crosses many
    // source rows, a block of it only a few, which then stay in cache for
    // the next rows of the block.
    constexpr int kBlock = 64;
    ParallelBands(outH, outW, [&](int y0, int y1) {
        for (int bx = 0; bx < outW; bx += kBlock) {
            const int bx1 = std::min(outW, bx + kBlock);
            for (int y = y0; y < y1; ++y) {
                float* dst = out.row(y);
                const float oy = float(y) + 0.5f - outCy;
                for (int x = bx; x < bx1; ++x) {
                    const float ox = float(x) + 0.5f - outCx;
                    const float sx = c * ox - s * oy + srcCx;
                    const float sy = s * ox + c * oy + srcCy;
                    SampleTransparentEdge(src, sx, sy, dst + 4 * x);
                }
            }
        }
    });
    return out;
}

Image ImageTools::ResizeImage(const Image& image, double width, double height) {
    if (!(width >= 1.0) || !(height >= 1.0) || image.isEmpty()) return Image();
    const int outW = int(std::min(width, kMaxCanvasSide));
    const int outH = int(std::min(height, kMaxCanvasSide));
    const int inW = image.width();
    const int inH = image.height();
    if (outW == inW && outH == inH) return image;

    const ResampleAxis horizontal = MakeResampleAxis(inW, 0.0, outW, 0, outW);
    const ResampleAxis vertical = MakeResampleAxis(inH, 0.0, outH, 0, outH);

    // Horizontal pass into premultiplied rows of the output width.
    Image wide = Image::CreateUninitialised(outW, inH);
    ParallelBands(inH, inW, [&](int y0, int y1) {
        std::vector<float> scratch(image.rowFloats());
        std::vector<float> premultiplied(image.rowFloats());
        for (int y = y0; y < y1; ++y) {
            const float* src = image.rowAsFloat(y, scratch.data());
            for (int x = 0; x < inW; ++x) {
                const float a = src[4 * x + 3];
                premultiplied[4 * x + 0] = src[4 * x + 0] * a;
                premultiplied[4 * x + 1] = src[4 * x + 1] * a;
                premultiplied[4 * x + 2] = src[4 * x + 2] * a;
                premultiplied[4 * x + 3] = a;
            }
            float* dst = wide.row(y);
            for (int o = 0; o < outW; ++o) {
                const float* w = &horizontal.weights[std::size_t(o) * std::size_t(horizontal.taps)];
                const float* p = premultiplied.data() + 4 * horizontal.first[std::size_t(o)];
                float acc[4] = {0.f, 0.f, 0.f, 0.f};
                for (int t = 0; t < horizontal.count[std::size_t(o)]; ++t)
                    for (int k = 0; k < 4; ++k) acc[k] += p[4 * t + k] * w[t];
                for (int k = 0; k < 4; ++k) dst[4 * o + k] = acc[k];
            }
        }
    });

    // Vertical pass, then back to straight alpha.
    Image out = Image::CreateUninitialised(outW, outH);
    ParallelBands(outH, std::int64_t(outW) * vertical.taps, [&](int y0, int y1) {
        for (int o = y0; o < y1; ++o) {
            float* dst = out.row(o);
            std::fill(dst, dst + out.rowFloats(), 0.f);
            const float* w = &vertical.weights[std::size_t(o) * std::size_t(vertical.taps)];
            for (int t = 0; t < vertical.count[std::size_t(o)]; ++t) {
                const float* src = wide.row(vertical.first[std::size_t(o)] + t);
                const float weight = w[t];
                for (std::size_t i = 0; i < out.rowFloats(); ++i) dst[i] += src[i] * weight;
            }
            for (int x = 0; x < outW; ++x) {
                float* p = dst + 4 * x;
                if (p[3] > 0.f) {
                    const float inv = 1.f / p[3];
                    p[0] = std::min(p[0] * inv, 1.f);
                    p[1] = std::min(p[1] * inv, 1.f);
                    p[2] = std::min(p[2] * inv, 1.f);
                    p[3] = std::min(p[3], 1.f);
                } else {
                    p[0] = p[1] = p[2] = p[3] = 0.f;
                }
            }
        }
    });
    return out;
}

Image ImageTools::AntiAliasImage(const Image& image) { return image; }

}  // namespace lumetra
