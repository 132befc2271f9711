// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files: a settings text kept in a file, the form in which looks
// are kept and shared and lumetra-batch is told what to do. Read whole or
// not at all, so a damaged file never changes anything.
#pragma once

#include <QString>
#include <optional>

#include "settings/EditSettings.h"

namespace lumetra {

// The file name extension of settings files.
inline const QString kSettingsFileExtension = QStringLiteral("lumetra");

struct SettingsFile {
    QString text;           // the file's settings text
    EditSettings settings;  // its values as written (not yet held to ranges)
};

// Reads a settings file: at most 1 MB of strict UTF-8 that is one whole,
// valid settings text. Nothing otherwise, with the reason in `error`.
std::optional<SettingsFile> ReadSettingsFile(const QString& path, QString* error = nullptr);

// Writes the settings text of `settings` to path atomically: the file that
// stood there is replaced only once the new one is complete. False, with
// the reason in `error`, when it could not be written.
bool WriteSettingsFile(const QString& path, const EditSettings& settings, QString* error = nullptr);

}  // namespace lumetra
