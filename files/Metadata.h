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
// keeps its own format and pixels. One entry is changed: the Orientation
// (Exif and XMP, where present) becomes 1, normal, because the editor turns
// photos upright when it reads them and saves them upright. The saved file
// is rewritten in memory and replaced atomically, so a failure at any point
// leaves it as it was. Never throws.
PropertiesCopy CopyImageProperties(const QString& sourcePath, const QString& savedPath);

// Gives a file a date: as its birth time where the platform can set one,
// else as its modification time (Linux cannot set birth times). False when
// neither can be set.
bool SetFileDate(const QString& path, const QDateTime& date);

}  // namespace lumetra
