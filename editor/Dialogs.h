// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the editor asks the user through a modal window, and the one
// request it makes of the desktop. The window uses the Qt implementation;
// tests hand the controller a scripted one, so no test ever waits on a
// modal window.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

#include "settings/EditSettings.h"

class QWidget;

namespace lumetra {

class Dialogs {
  public:
    enum class AlertStyle { Warning, Informational };

    // What an open or save dialog gave back.
    struct FileChoice {
        bool accepted = false;  // false: the user cancelled
        QString path;           // may be empty when a dialog reports no file
    };

    virtual ~Dialogs() = default;

    // A modal alert: no message text, `text` as the informative text, one
    // "OK" button.
    virtual void Alert(QWidget* parent, const QString& text, AlertStyle style) = 0;
    // A warning with the buttons "Yes" then "No"; true unless "No" was chosen.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // One line of text, starting from `initial`; nothing when cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& title,
                                           const QString& label, const QString& initial) = 0;
    // Choose one existing file with one of the extensions (without dots).
    virtual FileChoice ChooseFileToOpen(QWidget* parent, const QString& title,
                                        const QStringList& extensions) = 0;
    // Choose where to save, under a dialog title, proposing a file name with
    // the one extension.
    virtual FileChoice ChooseFileToSave(QWidget* parent, const QString& title,
                                        const QString& proposedName, const QString& extension) = 0;
    // Choose a colour, starting from `current`; nothing when cancelled. The
    // colour is always opaque: the settings keep no alpha.
    virtual std::optional<RgbaColor> ChooseColor(QWidget* parent, const RgbaColor& current) = 0;
    // Shows a web page in the desktop's browser; the outcome is not reported.
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real thing: QMessageBox, QFileDialog, QColorDialog, QDesktopServices.
class QtDialogs : public Dialogs {
  public:
    void Alert(QWidget* parent, const QString& text, AlertStyle style) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label,
                                   const QString& initial) override;
    FileChoice ChooseFileToOpen(QWidget* parent, const QString& title,
                                const QStringList& extensions) override;
    FileChoice ChooseFileToSave(QWidget* parent, const QString& title, const QString& proposedName,
                                const QString& extension) override;
    std::optional<RgbaColor> ChooseColor(QWidget* parent, const RgbaColor& current) override;
    void OpenUrl(const QUrl& url) override;
};

}  // namespace lumetra
