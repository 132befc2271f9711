// SPDX-License-Identifier: GPL-3.0-or-later
// Rotation, resizing and the final redraw.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/CpuDispatch.h"
#include "render/ImageTools.h"
#include "render/Parallel.h"
#include "render/Resampling.h"
#include "render/Sampling.h"
#include "render/WarpAvx2.h"

namespace lumetra {
namespace {

// The largest canvas a rotation or resize may make, in pixels per side.
constexpr double kMaxCanvasSide = 1 << 20;

// The inverse map of a rotation, from an output pixel to the source point
// it shows, about the centres of both (pixel-index space: source pixel
// centres at whole numbers).
struct Turn {
    int outW, outH;
    float c, s;
    float outCx, outCy, srcCx, srcCy;
};

// Each band is walked in blocks of columns: a turned row crosses many
// source rows, a block of it only a few, which then stay in cache for the
// next rows of the block.
constexpr int kTurnBlock = 64;

template <class Pixels>
LUMETRA_INLINE fx::Px TurnedPixel(const Pixels& src, const Turn& t, int x, float oy) {
    const float ox = float(x) + 0.5f - t.outCx;
    const float sx = t.c * ox - t.s * oy + t.srcCx;
    const float sy = t.s * ox + t.c * oy + t.srcCy;
    return fx::Unpremultiply(fx::SampleTransparentOutside(src, sx, sy));
}

template <class Pixels>
void TurnRows(const Pixels& src, Image& out, const Turn& t, int y0, int y1) {
    for (int bx = 0; bx < t.outW; bx += kTurnBlock) {
        const int bx1 = std::min(t.outW, bx + kTurnBlock);
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float oy = float(y) + 0.5f - t.outCy;
            for (int x = bx; x < bx1; ++x) fx::StorePx(dst + 4 * x, TurnedPixel(src, t, x, oy));
        }
    }
}

#if LUMETRA_HAS_AVX2_VARIANT
// TurnRows eight pixels at a time.
template <class Pixels, class Picture>
LUMETRA_TARGET_AVX2 void TurnRowsAvx2(const Pixels& src, const Picture& pic, Image& out,
                                      const Turn& t, int y0, int y1) {
    using namespace fx::avx2;
    const __m256 c = Splat8(t.c), s = Splat8(t.s);
    for (int bx = 0; bx < t.outW; bx += kTurnBlock) {
        const int bx1 = std::min(t.outW, bx + kTurnBlock);
        for (int y = y0; y < y1; ++y) {
            float* dst = out.row(y);
            const float oyScalar = float(y) + 0.5f - t.outCy;
            const __m256 rowX = Splat8(t.srcCx - t.s * oyScalar);
            const __m256 rowY = Splat8(t.srcCy + t.c * oyScalar);
            int x = bx;
            for (; x + 8 <= bx1; x += 8) {
                const __m256 ox = _mm256_sub_ps(Columns(x), Splat8(t.outCx - 0.5f));
                const __m256 sx = _mm256_fmadd_ps(c, ox, rowX);
                const __m256 sy = _mm256_fmadd_ps(s, ox, rowY);
                StoreSampledOrClear(dst + 4 * x, pic, sx, sy);
            }
            for (; x < bx1; ++x) fx::StorePx(dst + 4 * x, TurnedPixel(src, t, x, oyScalar));
        }
    }
}
#endif

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

    // Inverse map from an output pixel centre to the source, about the
    // centres of both. Screen y points down, so a counter-clockwise turn as
    // seen maps a source offset (x, y) to (c x + s y, -s x + c y); its
    // inverse is applied here.
    const double a = degrees * M_PI / 180.0;
    const Turn t{outW,
                 outH,
                 float(std::cos(a)),
                 float(std::sin(a)),
                 float(outW) * 0.5f,
                 float(outH) * 0.5f,
                 float(image.width()) * 0.5f - 0.5f,
                 float(image.height()) * 0.5f - 0.5f};
    fx::WithPixels(image, [&](const auto& src) {
#if LUMETRA_HAS_AVX2_VARIANT
        fx::avx2::BytePicture bytes;
        fx::avx2::FloatPicture floats;
        if (CpuHasAvx2() && fx::avx2::ReadAsBytes(image, &bytes)) {
            ParallelBands(outH, outW,
                          [&](int y0, int y1) { TurnRowsAvx2(src, bytes, out, t, y0, y1); });
            return;
        }
        if (CpuHasAvx2() && fx::avx2::ReadAsFloats(image, &floats)) {
            ParallelBands(outH, outW,
                          [&](int y0, int y1) { TurnRowsAvx2(src, floats, out, t, y0, y1); });
            return;
        }
#endif
        ParallelBands(outH, std::int64_t(outW) * 4,
                      [&](int y0, int y1) { TurnRows(src, out, t, y0, y1); });
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

Image ImageTools::AntiAliasImage(const Image& image) {
    return image;
}

}  // namespace lumetra
