// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a damaged picture file from a sound one by its structure. Qt's
// readers decode what they can of a file cut short without saying so; these
// checks walk the file's own structure (chunks, blocks, strips, boxes) and
// say whether the part that holds the shown picture is all there.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSize>
#include <QString>

namespace lumetra {

// What is wrong with a PNG, GIF, BMP or TIFF file (format as Qt names it:
// "png", "gif", "bmp", "tiff"), or an empty string when its structure is
// whole or the format is not one of these. Reads the device from its start
// with seeks, never more than a few kilobytes at a time.
QString FindStructuralDamage(QIODevice* file, const QByteArray& format);

// The picture size a GIF or BMP header claims ("gif", "bmp"), read from its
// first bytes; an invalid size for other formats or a header too short.
// Qt's readers refuse large GIF and BMP pictures without saying why.
QSize ClaimedSize(const QByteArray& head, const QByteArray& format);

// The same for a JP2 file or a J2K codestream held in memory: whether the
// codestream runs to its end-of-codestream marker.
QString FindJpeg2000Damage(const QByteArray& data);

}  // namespace lumetra
