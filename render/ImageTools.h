// SPDX-License-Identifier: GPL-3.0-or-later
// Every image operation of the editor. Each is pure: an image and plain
// numbers in, a new image of the result out; the input is never changed.
// An operation whose parameters leave the picture as it is returns its
// input itself, so a pass at rest costs nothing.
#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include "render/Image.h"
#include "render/Transform3D.h"
#include "render/WatermarkOverlay.h"
#include "settings/RgbaColor.h"

namespace lumetra {

namespace ImageTools {

// Colour adjustments. Channels are in 0..1, each result is clamped to
// 0..1 and alpha is never touched.

// Adds brightness to red, green and blue.
Image BrightnessImage(const Image& image, float brightness);
// Multiplies red, green and blue by 2^exposure.
Image ExposureImage(const Image& image, float exposure);
// Maps each channel c to (c - 0.5) * contrast + 0.5.
Image ContrastImage(const Image& image, float contrast);
// Mixes the pixel's luminance with the pixel: 0 grey, 1 unchanged.
Image SaturationImage(const Image& image, float saturation);
// Raises each channel to the power gamma.
Image GammaImage(const Image& image, float gamma);
// Turns the chroma (YIQ) clockwise by hue degrees: its angle decreases.
Image HueImage(const Image& image, float hue);
// Multiplies red, green and blue by their factors.
Image RGBImage(const Image& image, float red, float green, float blue);
// Sets red, green and blue to the luminance.
Image GrayscaleImage(const Image& image);
// Mixes the pixel with its sepia tone by intensity (0 unchanged).
Image SepiaImage(const Image& image, float intensity);

// Geometry.

// Turns the picture counter-clockwise (as seen) by degrees about its
// centre, on a canvas that just holds it; the corners stay transparent.
// 0 and 360 return the input itself.
Image RotateImage(const Image& image, double degrees);
// Stretches the picture to width x height pixels (fractions cut off).
Image ResizeImage(const Image& image, double width, double height);
// The final redraw of a pass: the picture copied onto itself, which
// leaves every pixel as it is.
Image AntiAliasImage(const Image& image);

// Watermarks. The canvas is the base picture: origin at its bottom-left
// corner, y upward, one point per pixel. Positions are 0 "Bottom Left",
// 1 "Bottom Right", 2 "Top Left", 3 "Top Right", 4 "Center"; any other
// index places nothing. Offsets move the watermark right (horizontal)
// and up (vertical); there is no margin, and whatever leaves the canvas
// is cut off. The base picture is taken by value: a caller that moves
// its working picture in has it changed in place (only under the
// watermark); otherwise the result is a copy. The result keeps the
// base's storage, so on an 8-bit picture the blended pixels are rounded
// to 8 bits, as showing and saving would round them.

// Draws `text` centred line by line in the family at fontSize pixels,
// wrapped within the canvas width, in textColor (alpha included), with a
// black shadow (blur radius 3, 3 right and 3 down) when useShadow and a
// black outline (2% of the font size, over the filled glyphs) when
// useStroke, and blends it over the picture with the opacity as the mix.
// On a reduced copy of a photo, shadowScale (the copy's scale) shrinks
// the shadow's blur and offset with it.
Image TextWatermarkImage(Image image, const QString& text, const QString& textFontType,
                         double textFontSize, const RgbaColor& textColor, int position,
                         double verticalOffset, double horizontalOffset, double opacity,
                         bool useShadow, bool useStroke, double shadowScale = 1.0);
// The text watermark's overlay on a canvas of `size`.
WatermarkOverlay CreateTextWatermark(QSizeF size, const QString& text, const QString& textFontType,
                                     double textFontSize, const RgbaColor& textColor, int position,
                                     double verticalOffset, double horizontalOffset, bool useShadow,
                                     bool useStroke, double shadowScale = 1.0);
// Draws the logo at its own size times scale and blends it over the
// picture with the opacity as the mix. The empty logo changes nothing.
Image LogoWatermarkImage(Image image, const Image& logo, double scale, int position,
                         double verticalOffset, double horizontalOffset, double opacity);
// The logo watermark's overlay on a canvas of `size`: the whole logo
// resampled into its rectangle, edges antialiased at fractional places.
WatermarkOverlay CreateLogoWatermark(QSizeF size, const Image& logo, double scale, int position,
                                     double verticalOffset, double horizontalOffset);
// The rectangle of a w x h watermark on the canvas at `position`, moved
// by the offsets. Any other position gives an empty rectangle at the
// origin (moved by the offsets).
QRectF WatermarkRect(QSizeF canvas, QSizeF watermark, int position, double verticalOffset,
                     double horizontalOffset);
// out.rgb = mix(base.rgb, overlay.rgb, overlay.alpha * opacity) with the
// overlay in straight alpha; out.alpha = base.alpha. Only the overlay's
// patch is touched. Opacity is held to 0..1 (NaN counts as 0); at 0, or
// with an empty patch, the base is returned as it is.
Image BlendWatermark(Image base, const WatermarkOverlay& overlay, double opacity);
// Effect filters. Positions are normalised: 0..1 across the picture,
// origin at the top-left, y down. Pictures are sampled bilinearly with
// the edge pixels repeated beyond the border, and colours are averaged
// premultiplied by alpha so that transparent areas add no dark fringe.
// Every result has the input's size. A parameter that is not a finite
// number leaves the picture as it is.

// Smooth toon shading: a Gaussian blur of blurRadiusInPixels, then
// pixels whose Sobel edge magnitude (of the luminance) reaches threshold
// turn black and the others are posterised to quantizationLevels levels
// (none when the levels are not positive). Alpha is the blurred alpha.
Image CartoonImage(const Image& image, float blurRadiusInPixels, float threshold,
                   float quantizationLevels);
// Kuwahara filter: each pixel takes the mean colour of the least varied
// of the four square quadrants around it. The brush grows with the
// picture: its radius in pixels is OilPaintPixelRadius(radius, width).
// Alpha is kept.
Image OilPaintImage(const Image& image, unsigned radius);
// Darkens towards black with the distance d from the centre (normalised,
// an ellipse on a non-square picture): colour * (1 - smoothstep(offset +
// 0.5, offset + 0.75, d)). Alpha is kept.
Image VignetteImage(const Image& image, float offset);
// Square cells of fractionalWidthOfAPixel * width pixels (at least one),
// anchored at the top-left, each filled with its average colour.
Image PixelateImage(const Image& image, float fractionalWidthOfAPixel);
// The same cells, each drawn as a black dot on white whose radius grows
// with the darkness of the cell. Opaque.
Image HalftoneImage(const Image& image, float fractionalWidthOfAPixel);
// Gaussian blur of sigma GaussianSigma(blurRadiusInPixels) pixels; below
// one pixel it returns the input.
Image BlurImage(const Image& image, float blurRadiusInPixels);
// A Gaussian blur inside the circle of radius blurRadius (in widths)
// about the centre; outside it the picture is untouched. blurSize is the
// spacing in pixels of nine weighted taps whose spread the blur matches.
Image CircleBlurImage(const Image& image, float blurSize, float blurRadius);
// Sharp inside the circle of radius excludeCircleRadius - excludeBlurSize
// (in widths) about the centre, Gaussian-blurred by blurRadiusInPixels
// outside excludeCircleRadius, blended smoothly between (premultiplied).
Image FocusBlurImage(const Image& image, float blurRadiusInPixels, float excludeCircleRadius,
                     float excludeBlurSize);
// Blur along a line at blurAngle degrees (0 to the right, positive
// clockwise on screen) over four steps of blurSize * height / width
// pixels either side, weighted towards the pixel.
Image MotionBlurImage(const Image& image, float blurSize, float blurAngle);
// Blur along the line to the centre over four steps of blurSize percent
// of the distance to it either side.
Image ZoomBlurImage(const Image& image, float blurSize);
// Projects the picture through a 3D transform (see Transform3D): it is a
// quad two units wide, one unit being half the width on both axes, y
// down. Uncovered pixels are transparent; the identity returns the input.
Image TransformImage(const Image& image, const Transform3D& transform);
// Turns the picture about its centre inside radius (normalised, no
// aspect correction), by 8 * angle radians at the centre fading to none
// at the radius.
Image SwirlImage(const Image& image, float radius, float angle);
// A glass ball of radius (in widths) at the centre refracting the
// picture with refractiveIndex, lit at its rim and with a highlight; the
// picture outside the ball becomes transparent.
Image GlassSphereImage(const Image& image, float radius, float refractiveIndex);

// Gaussian sigma in pixels for a blur radius: rounded half away from
// zero; 0 when that is below one pixel or not a number.
double GaussianSigma(float blurRadiusInPixels);
// The oil painting brush radius in pixels on a picture of this width.
int OilPaintPixelRadius(unsigned radius, int width);

// Canvas size of a rotation, before it is cut to whole pixels.
void RotatedCanvasSize(double width, double height, double degrees, double* outWidth,
                       double* outHeight);

// Luminance weights of the saturation and grayscale operations.
inline constexpr float kLumaR = 0.2125f;
inline constexpr float kLumaG = 0.7154f;
inline constexpr float kLumaB = 0.0721f;
}  // namespace ImageTools

}  // namespace lumetra
