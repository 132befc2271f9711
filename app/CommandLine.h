// SPDX-License-Identifier: GPL-3.0-or-later
// The files a desktop or a shell hands over on the command line.
#pragma once

#include <QString>
#include <QStringList>

namespace lumetra {

// The local path a command-line argument names: a path (relative ones are
// taken from the current folder) or a file:// address.
QString PathFromArgument(const QString& argument);

}  // namespace lumetra
