// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files: the current settings text written to a file, and read
// back, so that a look can be kept, shared, or applied to many photos with
// lumetra-batch.
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "editor/SettingsText.h"
#include "editor/ViewController.h"

namespace lumetra {

namespace {
// A settings text is about 1 kB; anything far larger is not one.
constexpr qint64 kMaxSettingsFileBytes = 1 << 20;
}  // namespace

void ViewController::OnExportSettings() {
    const QString name = originalImageName.isEmpty() ? QStringLiteral("settings")
                                                      : originalImageName + QStringLiteral("_settings");
    const std::optional<QString> path =
        ChooseSavePath(tr("Export Settings"), name + QStringLiteral(".") + kSettingsFileExtension,
                       kSettingsFileExtension);
    if (!path) return;
    QSaveFile file(*path);
    const QByteArray bytes = WriteSettingsText(CurrentSettings()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
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
    const QString couldNotRead = QStringLiteral("The settings file could not be read.");
    QFile file(choice.path);
    if (choice.path.isEmpty() || !file.open(QIODevice::ReadOnly) ||
        file.size() > kMaxSettingsFileBytes) {
        dialogs_->Alert(this, couldNotRead, Dialogs::AlertStyle::Warning);
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(file.read(kMaxSettingsFileBytes));
    if (utf8.hasError() || !ReadSettingsText(text)) {
        dialogs_->Alert(this, couldNotRead, Dialogs::AlertStyle::Warning);
        return;
    }
    // Unlike stepping through the history, importing is a change of its own:
    // its pass records the imported settings, so that Undo can go back.
    ApplyStateText(text, true);
    emit statusMessage(tr("Settings read from %1").arg(QFileInfo(choice.path).fileName()));
}

}  // namespace lumetra
