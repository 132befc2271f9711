// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/OutputNames.h"

#include <QFileInfo>

namespace lumetra {

QString PathWithExtension(const QString& path, const QString& extension) {
    if (extension.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.mid(dot + 1).compare(extension, Qt::CaseInsensitive) == 0) return path;
    return path + (path.endsWith(u'.') ? QString() : QStringLiteral(".")) + extension;
}

}  // namespace lumetra
