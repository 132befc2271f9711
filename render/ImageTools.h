// SPDX-License-Identifier: GPL-3.0-or-later
// Every image operation of the editor. Each is pure: an image and plain
// numbers in, a new image of the result out; the input is never changed.
// An operation whose parameters leave the picture as it is returns its
// input itself, so a pass at rest costs nothing.
#pragma once

#include "render/Image.h"

namespace lumetra {

class ImageTools {
public:
    ImageTools() = delete;

    // Colour adjustments. Channels are in 0..1, each result is clamped to
    // 0..1 and alpha is never touched.

    // Adds brightness to red, green and blue.
    static Image BrightnessImage(const Image& image, float brightness);
    // Multiplies red, green and blue by 2^exposure.
    static Image ExposureImage(const Image& image, float exposure);
    // Maps each channel c to (c - 0.5) * contrast + 0.5.
    static Image ContrastImage(const Image& image, float contrast);
    // Mixes the pixel's luminance with the pixel: 0 grey, 1 unchanged.
    static Image SaturationImage(const Image& image, float saturation);
    // Raises each channel to the power gamma.
    static Image GammaImage(const Image& image, float gamma);
    // Turns the chroma (YIQ) clockwise by hue degrees: its angle decreases.
    static Image HueImage(const Image& image, float hue);
    // Multiplies red, green and blue by their factors.
    static Image RGBImage(const Image& image, float red, float green, float blue);
    // Sets red, green and blue to the luminance.
    static Image GrayscaleImage(const Image& image);
    // Mixes the pixel with its sepia tone by intensity (0 unchanged).
    static Image SepiaImage(const Image& image, float intensity);

    // Geometry.

    // Turns the picture counter-clockwise (as seen) by degrees about its
    // centre, on a canvas that just holds it; the corners stay transparent.
    // 0 and 360 return the input itself.
    static Image RotateImage(const Image& image, double degrees);
    // Stretches the picture to width x height pixels (fractions cut off).
    static Image ResizeImage(const Image& image, double width, double height);
    // The final redraw of a pass: the picture copied onto itself, which
    // leaves every pixel as it is.
    static Image AntiAliasImage(const Image& image);

    // Canvas size of a rotation, before it is cut to whole pixels.
    static void RotatedCanvasSize(double width, double height, double degrees, double* outWidth,
                                  double* outHeight);

    // Luminance weights of the saturation and grayscale operations.
    static constexpr float kLumaR = 0.2125f;
    static constexpr float kLumaG = 0.7154f;
    static constexpr float kLumaB = 0.0721f;
};

}  // namespace lumetra
