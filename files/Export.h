// SPDX-License-Identifier: GPL-3.0-or-later
// The one export path of the editor's save command and lumetra-batch: the
// output's name, its size agreed with the aspect ratio, the picture drawn at
// that size, encoded and written atomically, and the source's EXIF data and
// date carried over. Nothing here touches a widget.
#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>

namespace lumetra {

// Names.

// The file's name without its folder and its last extension (beach.day.JPG
// gives beach.day); a name that only starts with a dot keeps it.
QString NameWithoutExtension(const QString& path);
// The extension a format of the format pop-up writes ("jpg", "tif", ...);
// empty for an index without a format.
QString FormatExtension(int formatIndex);
// NAME_processed.EXT, or NAME_processed-COPY.EXT for a later copy (2, 3...).
QString ProcessedFileName(const QString& sourceName, const QString& extension, int copy = 1);
// The path a save writes to for a path the user chose: unchanged when its
// extension is the format's (in any case: photo.JPG for "jpg"), otherwise
// with the format's extension appended (out.png for "jpg" gives
// out.png.jpg), so a file's name never lies about what it holds.
QString PathWithExtension(const QString& path, const QString& extension);

// Size.

// Width over height of the shown result, in single precision; 1 while no
// source is open (a source size of 0 or less).
float OutputAspectRatio(QSize shown, QSizeF sourceSize);
// The text of the field that keep aspect derives from a typed size: from a
// width, the height w / r; from a height, the width h * r; rounded to the
// nearest whole number with halves away from zero. Nothing when the result
// is not a finite whole number within 64 bits.
std::optional<QString> KeepAspectPartner(float typed, float ratio, bool fromWidth);
// One keep-aspect step on the texts of the two size fields, as ending an
// edit of one of them takes it: the other field follows (and stays as it
// was when no whole number follows). A save runs the width's step, then the
// height's.
void KeepAspectStep(QString* width, QString* height, float ratio, bool fromWidth);
// The shown result stretched to fill width x height (fractions cut off),
// smoothly scaled, straight alpha. A null image when either side is below
// one pixel or not a finite number.
QImage DrawAtOutputSize(const QImage& shown, double width, double height);

// Writing.

// Encodes a picture in the format of a format pop-up index at a quality of
// 0..1 and writes it atomically; false when nothing was written.
using SaveFunction = std::function<bool(const QImage& picture, const QString& path, int formatIndex,
                                        double quality)>;

struct ExportRequest {
    QImage picture;  // the finished result
    double width = 0;
    double height = 0;
    QString path;
    int formatIndex = 0;
    double quality = 0.8;   // the quality slider / 100
    bool keepExif = false;  // carry the source's properties and date over
    QString sourcePath;
};

struct ExportResult {
    bool saved = false;
    QSize written;  // the saved picture's size
};

// Draws the picture at the output size, saves it (with `save`, by default
// the savers of files/) and, when asked, carries the source's Exif, IPTC and
// XMP and its date over. Saving over the source itself keeps the source's
// properties: they are taken from a copy made before the file is replaced.
// Never throws; a failure at any step leaves what stood at the path as it
// was. May run on any thread.
ExportResult ExportPicture(const ExportRequest& request, const SaveFunction& save = {});

}  // namespace lumetra
