// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Looks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace lumetra {

namespace {

const QString kSuffix = QStringLiteral(".") + kSettingsFileExtension;

// Fails with the reason in *error, when the caller asked for it.
bool Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

// The looks in one folder, by name.
QList<Look> LooksIn(const QString& folder, bool builtIn) {
    QList<Look> looks;
    if (folder.isEmpty()) return looks;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Readable,
                                   QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
        Look look;
        look.name = info.completeBaseName();
        if (!LookStore::NameError(look.name).isEmpty()) continue;
        look.path = info.absoluteFilePath();
        look.builtIn = builtIn;
        look.file = ReadSettingsFile(look.path, &look.error);
        looks << look;
    }
    return looks;
}

}  // namespace

LookStore::LookStore(QString userFolder, QStringList builtInFolders)
    : userFolder_(std::move(userFolder)), builtInFolders_(std::move(builtInFolders)) {}

LookStore LookStore::Standard() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QStringList shipped;
    // Beside the program, built or installed alike: bin/../share/lumetra/looks.
    if (QCoreApplication::instance())
        shipped << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                   QStringLiteral("/../share/lumetra/looks"));
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString looks = QDir::cleanPath(folder + QStringLiteral("/lumetra/looks"));
        if (looks != QDir::cleanPath(data + QStringLiteral("/lumetra/looks")) &&
            !shipped.contains(looks))
            shipped << looks;
    }
    return LookStore(data.isEmpty() ? QString() : data + QStringLiteral("/lumetra/looks"), shipped);
}

QString LookStore::NameError(const QString& name) {
    if (name.trimmed().isEmpty()) return QStringLiteral("A look needs a name.");
    if (name.size() > 100) return QStringLiteral("A look's name has at most 100 characters.");
    if (name.startsWith(u'.')) return QStringLiteral("A look's name cannot start with a dot.");
    for (const QChar c : name)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            return QStringLiteral("A look's name cannot hold a slash or a line break.");
    return QString();
}

QString LookStore::UserPath(const QString& name) const {
    return QDir(userFolder_).filePath(name + kSuffix);
}

QList<Look> LookStore::List() const {
    QList<Look> looks = LooksIn(userFolder_, false);
    QStringList names;
    for (const Look& look : looks) names << look.name;
    for (const QString& folder : builtInFolders_) {
        for (const Look& look : LooksIn(folder, true)) {
            if (names.contains(look.name)) continue;  // the user's own, or an earlier folder's
            names << look.name;
            looks << look;
        }
    }
    return looks;
}

std::optional<Look> LookStore::Find(const QString& name) const {
    for (const Look& look : List())
        if (look.name == name) return look;
    return std::nullopt;
}

bool LookStore::UserHas(const QString& name) const {
    return !userFolder_.isEmpty() && NameError(name).isEmpty() &&
           QFileInfo(UserPath(name)).isFile();
}

bool LookStore::Save(const QString& name, const EditSettings& settings, QString* error) const {
    if (const QString bad = NameError(name); !bad.isEmpty()) return Fail(error, bad);
    if (userFolder_.isEmpty() || !QDir().mkpath(userFolder_))
        return Fail(error,
                    QStringLiteral("The folder for looks cannot be made: %1").arg(userFolder_));
    return WriteSettingsFile(UserPath(name), settings, error);
}

bool LookStore::Rename(const QString& from, const QString& to, QString* error) const {
    if (const QString bad = NameError(to); !bad.isEmpty()) return Fail(error, bad);
    if (!UserHas(from))
        return Fail(error, QStringLiteral("There is no look of yours named %1.").arg(from));
    if (from == to) return true;
    if (QFileInfo::exists(UserPath(to)))
        return Fail(error, QStringLiteral("A look named %1 exists already.").arg(to));
    if (!QFile::rename(UserPath(from), UserPath(to)))
        return Fail(error, QStringLiteral("The look %1 could not be renamed.").arg(from));
    return true;
}

bool LookStore::Remove(const QString& name, QString* error) const {
    if (!UserHas(name))
        return Fail(error, QStringLiteral("There is no look of yours named %1.").arg(name));
    QFile file(UserPath(name));
    if (file.moveToTrash() || file.remove()) return true;
    return Fail(
        error,
        QStringLiteral("The look %1 could not be deleted: %2").arg(name, file.errorString()));
}

}  // namespace lumetra
