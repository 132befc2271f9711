// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include "settings/SettingsText.h"

namespace lumetra {

namespace {
// A settings text is about 1 kB; anything far larger is not one.
constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

void Say(QString* error, const QString& text) {
    if (error) *error = text;
}
}  // namespace

std::optional<SettingsFile> ReadSettingsFile(const QString& path, QString* error) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        Say(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxSettingsFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        Say(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    SettingsFile read;
    read.text = utf8(bytes);
    std::optional<EditSettings> settings;
    if (bytes.size() <= kMaxSettingsFileBytes && !utf8.hasError())
        settings = ReadSettingsText(read.text);
    if (!settings) {
        Say(error, QStringLiteral("%1 is not a Lumetra settings file (%2 lines as the editor "
                                  "exports them)")
                       .arg(path)
                       .arg(kSettingsLines));
        return std::nullopt;
    }
    read.settings = *settings;
    return read;
}

bool WriteSettingsFile(const QString& path, const EditSettings& settings, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = WriteSettingsText(settings).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        Say(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace lumetra
