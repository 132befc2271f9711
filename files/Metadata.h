// SPDX-License-Identifier: GPL-3.0-or-later
// The two steps of carrying a source file's properties over onto a saved
// picture: its Exif, IPTC and XMP, and its date.
#pragma once

#include <QDateTime>
#include <QString>

namespace lumetra {

enum class PropertiesCopy {
    Copied,   // the saved file now holds the source's properties
    NotHeld,  // the saved file's format holds none (GIF, BMP): left as it was
    Failed,   // a file could not be read or written: the saved file is as it was
};

// Copies the source's Exif, IPTC and XMP whole onto the saved file, which
// keeps its own format and pixels. One entry may change: where the reader
// turned the source's pixels upright by its orientation (SourceOrientation
// is not 1), the saved pixels are upright too and the Orientation (Exif and
// XMP, where present) becomes 1, normal; elsewhere it stays as it was, with
// the pixels as stored. A PNG gets the Exif in its standard eXIf chunk
// before the picture data; a WebP gets Exif and XMP chunks, an AVIF Exif
// and XMP items (neither holds IPTC). The Exif and XMP of a HEIF, AVIF,
// WebP or JPEG XL source are taken from its boxes or chunks by its own
// library; a source read through its own library (those and camera raw
// files) is always shown upright, so its Orientation becomes 1.
// The saved file is rewritten in memory and
// replaced atomically, so a failure at any point leaves it as it was.
// Never throws.
PropertiesCopy CopyImageProperties(const QString& sourcePath, const QString& savedPath);

// Gives a file a date: as its birth time where the platform can set one,
// else as its modification time (Linux cannot set birth times). False when
// neither can be set.
bool SetFileDate(const QString& path, const QDateTime& date);

}  // namespace lumetra
