// SPDX-License-Identifier: GPL-3.0-or-later
// The eight file formats a picture can be saved in, chosen by the index of
// the format pop-up, and their encoders into memory.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace lumetra {

enum class SaveFormat { Jpeg, Jpeg2000, Png, Tiff, Gif, Bmp, Webp, Avif };

// The pop-up's items in order: JPG, JPEG, JPE, JP2, JPX, PNG, TIFF, TIF,
// GIF, BMP, WEBP, AVIF. Any other index has no format.
std::optional<SaveFormat> SaveFormatForIndex(int index);

// True for the formats whose encoder takes the compression factor.
bool TakesCompressionFactor(SaveFormat format);

// JPEG quality (0..100) for a compression factor in 0..1: 0.8 gives 80.
int JpegQuality(double quality);

// Encodes a save bitmap (see IsSaveBitmap: RGBA or BGRA bytes). quality is
// the compression factor in 0..1 (JPEG, JPEG 2000, WebP and AVIF; the other
// formats ignore it, a factor that is not a number fails the two that use
// it). JPEG and BMP hold no alpha and
// get the bitmap composited onto white; PNG, TIFF, JPEG 2000, WebP and AVIF keep alpha
// when some pixel is not opaque and write plain RGB otherwise; GIF keeps
// alpha 0 as its transparent colour. Returns the file's bytes, or empty
// with a reason in *error.
QByteArray EncodeForSave(const QImage& bitmap, SaveFormat format, double quality,
                         QString* error = nullptr);

}  // namespace lumetra
