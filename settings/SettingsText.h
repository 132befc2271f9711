// SPDX-License-Identifier: GPL-3.0-or-later
// The settings text: every edit setting written as one line, in a fixed
// order, each line ended by a line feed (113 lines). The history keeps
// settings in this form. Writing never depends on the user's locale; the
// reader parses the whole text first and gives a settings value only when
// every line is valid, so a bad text can never leave the panel half
// restored.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "settings/EditSettings.h"

namespace lumetra {

// Number of lines of a settings text.
constexpr int kSettingsLines = 113;

// Splits a text into pieces at every newline character (line feed, vertical
// tab, form feed, carriage return, next line, line and paragraph
// separators). A text ending in a newline gives an empty last piece.
QStringList SplitSettingsLines(const QString& text);

// A text field's text made fit for one line of a settings text: every
// newline character (the seven that split lines) becomes a space. Fields
// are given text through this wherever it comes from (typing, pasting,
// code, a logo's file name), so a settings text always keeps its 113 lines.
QString SingleLine(QString text);

// The settings as text. A text field that somehow holds a newline character
// is written with a space in its place, so the text always reads back.
QString WriteSettingsText(const EditSettings& settings);

// The settings a text holds, or nothing when the text does not split into
// exactly 114 pieces or any line does not parse by its encoding (a pop-up
// index outside its list other than -1, a check-box state other than -1, 0
// and 1 included).
std::optional<EditSettings> ReadSettingsText(const QString& text);

// One value as the text writes it.
QString FloatText(float value);
QString ColorComponentText(double value);

}  // namespace lumetra
