// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QDir>
#include <QUrl>

namespace lumetra {

QString PathFromArgument(const QString& argument) {
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QDir::current().absoluteFilePath(argument);
}

}  // namespace lumetra
