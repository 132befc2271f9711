// SPDX-License-Identifier: GPL-3.0-or-later
// The names of the files Lumetra writes.
#pragma once

#include <QString>

namespace lumetra {

// The path a save writes to for a path the user chose: unchanged when its
// extension is the format's (in any case: photo.JPG for "jpg"), otherwise
// with the format's extension appended (out.png for "jpg" gives
// out.png.jpg), so a file's name never lies about what it holds.
QString PathWithExtension(const QString& path, const QString& extension);

}  // namespace lumetra
