// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files: the current settings text written to a file, and read
// back, so that a look can be kept, shared, or applied to many photos with
// lumetra-batch.
#include <QFileInfo>
#include <QLineEdit>

#include "editor/ViewController.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsText.h"

namespace lumetra {

void ViewController::OnExportSettings() {
    const QString name = originalImageName.isEmpty()
                             ? QStringLiteral("settings")
                             : originalImageName + QStringLiteral("_settings");
    const std::optional<QString> path =
        ChooseSavePath(tr("Export Settings"), name + QStringLiteral(".") + kSettingsFileExtension,
                       kSettingsFileExtension);
    if (!path) return;
    if (!WriteSettingsFile(*path, CurrentSettings())) {
        dialogs_->Alert(this, QStringLiteral("The settings file could not be written."),
                        Dialogs::AlertStyle::Warning);
        return;
    }
    emit statusMessage(tr("Settings saved to %1").arg(QFileInfo(*path).fileName()));
}

void ViewController::OnImportSettings() {
    const Dialogs::FileChoice choice = dialogs_->ChooseFileToOpen(
        this, tr("Import Settings"), {kSettingsFileExtension, QStringLiteral("txt")});
    if (!choice.accepted) return;
    const std::optional<SettingsFile> file =
        choice.path.isEmpty() ? std::nullopt : ReadSettingsFile(choice.path);
    if (!file) {
        dialogs_->Alert(this, QStringLiteral("The settings file could not be read."),
                        Dialogs::AlertStyle::Warning);
        return;
    }
    // Unlike stepping through the history, importing is a change of its own:
    // its pass records the imported settings, so that Undo can go back.
    ApplyStateText(file->text, true);
    emit statusMessage(tr("Settings read from %1").arg(QFileInfo(choice.path).fileName()));
}

void ViewController::ApplyLook(const EditSettings& settings) {
    EditSettings look = settings;
    // The output size belongs to the photo, not to the look.
    look.textFieldWidth = textFieldWidth->text();
    look.textFieldHeight = textFieldHeight->text();
    ApplyStateText(WriteSettingsText(look), true);
}

void ViewController::RequestLookThumbnail(const QString& name, const EditSettings& settings) {
    scheduler_.RequestThumbnail(name, settings, logo);
}

}  // namespace lumetra
