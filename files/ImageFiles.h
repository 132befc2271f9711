// SPDX-License-Identifier: GPL-3.0-or-later
// The image operations that work on files: saving a picture in one of the
// output formats, and carrying a source file's properties and date over onto
// a saved one. They sit with the other image operations under the name
// ImageTools.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

namespace lumetra::ImageTools {

// Saves a picture: draws it into an 8-bit RGBA bitmap as many pixels
// wide and high as the picture is in points (fractions cut off), encodes
// it by the format pop-up's index (0-2 JPEG, 3-4 JPEG 2000, 5 PNG, 6-7
// TIFF, 8 GIF, 9 BMP, 10 WebP, 11 AVIF) with quality as the compression
// factor of the JPEG families, WebP and AVIF (0..1, 0.8 is JPEG quality
// 80), and writes it to path
// through a temporary file that replaces path only once it is complete.
// False, with the file that stood at path untouched, when the size is
// below one pixel or not a finite number, the index has no format, the
// encoder fails or the file cannot be written.
bool SaveImage(const QImage& image, const QString& path, int formatIndex, double quality);

// Carries the source file's Exif, IPTC and XMP over onto the saved file
// (JPEG, PNG, TIFF, JPEG 2000, WebP and AVIF; GIF and BMP hold none and are left
// alone), with the Orientation made normal where reading turned the
// pixels upright (the tag and the pixels always agree), then gives the saved file the source's
// creation date. Silent on failure and never damages the saved file; prints "ERROR" on standard
// output when the date cannot be set.
void ChangeImageExifWithOriginalImagePath(const QString& sourcePath, const QString& savedPath);

// The file's birth time where the file system reports one, else its
// last modification, else the current date and time.
QDateTime ImageCreationDateWithPath(const QString& path);

}  // namespace lumetra::ImageTools
