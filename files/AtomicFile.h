// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole file so that it either appears complete or not at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace lumetra {

// Writes data to a temporary file in path's folder, flushes it to disk and
// only then puts it in path's place (a file already there is replaced; its
// permissions are kept, a symbolic link keeps pointing where it did and its
// target is replaced). On any failure the file that stood at path is left
// byte for byte, no temporary file remains, and the result is false with a
// reason in *error. Empty data is refused.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

}  // namespace lumetra
