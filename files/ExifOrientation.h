// SPDX-License-Identifier: GPL-3.0-or-later
// The EXIF orientation of a photo: which way the camera was held. Cameras
// store the pixels as the sensor saw them and say in the Exif block how to
// turn them upright; the editor shows and edits them upright.
#pragma once

#include <QImage>
#include <cstddef>

namespace lumetra {

// The Orientation tag (1 to 8) of an Exif block as a JPEG's APP1 segment
// carries it ("Exif\0\0" then a TIFF header and IFD0). Any block that is
// not Exif, is cut short, points outside itself, or holds a value outside
// 1..8 gives 1: the pixels are shown as stored. Never reads outside
// [data, data + size).
int ExifOrientationFromApp1(const unsigned char* data, std::size_t size);

// The stored picture turned upright for an orientation of 2 to 8 (mirrored,
// rotated, or both; 5 to 8 swap width and height). 1 and anything else give
// the picture unchanged. Works on 32-bit layouts; a null image comes back
// when memory runs out.
QImage ApplyExifOrientation(const QImage& stored, int orientation);

}  // namespace lumetra
