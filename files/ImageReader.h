// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a source picture from a file, whatever its extension says: the
// content decides the format. Every render pass reads its source through
// here, so the picture the user sees and the one that is edited agree.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "render/Image.h"

namespace lumetra {

// Pictures above this many pixels are refused rather than risking the
// memory of the whole desktop (a 100-megapixel photo still opens).
constexpr std::int64_t kMaxSourcePixels = std::int64_t(128) << 20;

// The extensions of the source files the open dialog and a drop accept,
// lower case: jpg, jpeg, jpe, jp2, jpx, png, tiff, tif, gif, bmp, then
// heic, heif, avif, webp, jxl and the camera raw formats (dng, cr2, ...).
const QStringList& SourceExtensions();

struct ReadResult {
    Image image;    // empty when the file could not be read
    QString error;  // why, in words a user understands
    // The file is damaged (cut short, corrupt data) but part of its
    // picture could be decoded: image holds that part, the rest as the
    // decoder left it (grey or transparent), and damage says what is wrong.
    bool damaged = false;
    QString damage;
    bool ok() const { return !image.isEmpty(); }
};

// Never throws; a file that cannot be read, that is not a picture, or
// whose header claims more than maxPixels gives an empty image and an
// error without its pixels being decoded.
ReadResult ReadImageFile(const QString& path, std::int64_t maxPixels = kMaxSourcePixels);

// A reduced copy of the photo at path, for previews: `scale` (0..1) of its
// upright size, where `full` is the photo as ReadImageFile read it. A JPEG
// is decoded again with the decoder's DCT scaling (1/2, 1/4 or 1/8, the
// largest that still holds the copy's pixels, for a fraction of a full
// decode); other formats are reduced from `full`. 8-bit. Empty when the
// scale is not below 1 or the reduced decode fails or reports damage.
Image ReadReducedCopy(const QString& path, const Image& full, double scale);

struct ProbeResult {
    QSize size;     // the picture's size once turned upright; empty when refused
    QString error;  // why the file was refused, in words a user understands
    bool ok() const { return error.isEmpty() && !size.isEmpty(); }
};

// Whether a file looks like a picture ReadImageFile accepts, from its
// header alone: the format told by the content as ReadImageFile tells it,
// the size from the header (JPEG through libjpeg-turbo, JPEG 2000 through
// OpenJPEG, the rest through Qt's readers) held to the same maxPixels. No
// pixel is decoded, so it takes milliseconds whatever the picture's size;
// a file whose data is damaged behind a sound header passes, and reading
// it then says what is wrong. Refuses what is missing, not a regular file
// (a folder, a pipe, a device), unreadable, empty, not a picture, or too
// large. Never throws.
ProbeResult ProbeImageFile(const QString& path, std::int64_t maxPixels = kMaxSourcePixels);

}  // namespace lumetra
