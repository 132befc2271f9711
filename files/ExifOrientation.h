// SPDX-License-Identifier: GPL-3.0-or-later
// The EXIF orientation of a photo: which way the camera was held. Cameras
// store the pixels as the sensor saw them and say in the Exif block how to
// turn them upright; the editor shows and edits them upright.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class QIODevice;

namespace lumetra {

// The orientation (1 to 8) by which the reader turns a source file's
// stored pixels upright. It is the one place that decides: the reader
// turns the pixels by it, and carrying the properties over onto a saved
// picture makes the Orientation tag normal exactly when it is not 1.
//
// Read from the Exif block where each format keeps it, the format told by
// the content: a JPEG's first Exif APP1 segment before its scan, a PNG's
// eXIf chunk or else its "Raw profile type exif" text chunk (as exiv2 and
// ImageMagick write it), both before the first IDAT, a TIFF's first
// directory, a JP2 file's Exif box. Anything else (GIF, BMP, a bare JPEG
// 2000 codestream, no block, a block that is cut short or corrupt, a value
// outside 1..8) gives 1: the pixels are shown as stored. Only headers are
// read, with seeks, never outside the file; the device's position is left
// where it was.
int SourceOrientation(QIODevice* file);
int SourceOrientation(const QByteArray& bytes);

// The orientation an Exif block holds (a TIFF structure, with or without
// the "Exif\0\0" that starts a JPEG's segment), as the formats that keep
// their Exif in a box or chunk of their own hand it out; 1 when it holds
// none or cannot be read.
int ExifBlockOrientation(const QByteArray& exif);

// The size of a stored picture once turned by an orientation: 5 to 8 swap
// width and height.
inline QSize OrientedSize(const QSize& stored, int orientation) {
    return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

// The stored picture turned upright for an orientation of 2 to 8 (mirrored,
// rotated, or both; 5 to 8 swap width and height), in its own format,
// colour table and colour space. 1 and anything else give the picture
// unchanged. A null image comes back when memory runs out.
QImage ApplyExifOrientation(const QImage& stored, int orientation);

}  // namespace lumetra
