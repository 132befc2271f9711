// SPDX-License-Identifier: GPL-3.0-or-later
// The settings text: every edit setting written as one line, in a fixed
// order, each line ended by a line feed. The history keeps settings in this
// form; the reader applies a text only when every line of it is valid.
#pragma once

#include <QString>
#include <QStringList>

namespace lumetra {

// Splits a text into pieces at every newline character (line feed, vertical
// tab, form feed, carriage return, next line, line and paragraph
// separators). A text ending in a newline gives an empty last piece.
QStringList SplitSettingsLines(const QString& text);

}  // namespace lumetra
