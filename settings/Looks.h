// SPDX-License-Identifier: GPL-3.0-or-later
// Looks: settings files with a name, kept to be applied with one click or
// by lumetra-batch --look. The user's own live in
// $XDG_DATA_HOME/lumetra/looks/NAME.lumetra, in exactly the settings text
// format, so a look is also a file that --settings and Import Settings
// read; the looks shipped with the program live read-only in
// share/lumetra/looks beside the program and come after the user's, and a
// user's look of the same name takes the place of a shipped one.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "settings/SettingsFile.h"

namespace lumetra {

struct Look {
    QString name;
    QString path;
    bool builtIn = false;
    // The look's settings, or nothing when the file cannot be read as a
    // settings file (then `error` says why and the look is never applied).
    std::optional<SettingsFile> file;
    QString error;
    bool ok() const { return file.has_value(); }
};

class LookStore {
  public:
    // The user's folder and the folders of shipped looks, first one first.
    LookStore(QString userFolder, QStringList builtInFolders);
    // The standard places: the user's data folder and share/lumetra/looks
    // beside the program (and the system's data folders).
    static LookStore Standard();

    const QString& userFolder() const { return userFolder_; }

    // The user's looks by name, then the shipped ones no user's look
    // replaces, by name. Every file is read; an unreadable one is listed
    // with its error.
    QList<Look> List() const;
    // The look of that name as List() finds it.
    std::optional<Look> Find(const QString& name) const;
    // Whether the user has a look of that name.
    bool UserHas(const QString& name) const;

    // Stores settings as the user's look `name` (made fit for a file name:
    // see NameError), replacing one of that name. Atomic. False with the
    // reason in `error`.
    bool Save(const QString& name, const EditSettings& settings, QString* error) const;
    // Renames one of the user's looks; never replaces another.
    bool Rename(const QString& from, const QString& to, QString* error) const;
    // Moves one of the user's looks to the desktop's trash where there is
    // one, else deletes it.
    bool Remove(const QString& name, QString* error) const;

    // Why `name` cannot name a look, or an empty string: it must not be
    // empty, start with a dot, hold a slash, a newline or a control
    // character, or be longer than 100 characters.
    static QString NameError(const QString& name);

  private:
    QString UserPath(const QString& name) const;

    QString userFolder_;
    QStringList builtInFolders_;
};

}  // namespace lumetra
