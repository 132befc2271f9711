// SPDX-License-Identifier: GPL-3.0-or-later
// Dialogs that answer from a script and remember what they were asked, so
// that widget tests never block on a modal window.
#pragma once

#include <QList>
#include <QQueue>
#include <QString>
#include <QUrl>

#include "editor/Dialogs.h"

namespace lumetra::test {

class FakeDialogs : public Dialogs {
  public:
    struct AlertRecord {
        QString text;
        AlertStyle style;
    };

    // Scripted answers, used in order; when a queue is empty the dialog is
    // cancelled (files, colours) or answered "Yes".
    QQueue<FileChoice> openAnswers;
    QQueue<FileChoice> saveAnswers;
    QQueue<bool> yesNoAnswers;
    QQueue<std::optional<QString>> textAnswers;
    QQueue<RgbaColor> colorAnswers;

    // What was asked.
    QList<AlertRecord> alerts;
    QStringList questions;
    QList<QStringList> openExtensions;
    QStringList proposedSaveNames;
    QStringList saveTitles;
    QList<QUrl> openedUrls;

    void Alert(QWidget*, const QString& text, AlertStyle style) override;
    bool AskYesNo(QWidget*, const QString& text) override;
    std::optional<QString> AskText(QWidget*, const QString& title, const QString& label,
                                   const QString& initial) override;
    FileChoice ChooseFileToOpen(QWidget*, const QString& title,
                                const QStringList& extensions) override;
    FileChoice ChooseFileToSave(QWidget*, const QString& title, const QString& proposedName,
                                const QString& extension) override;
    std::optional<RgbaColor> ChooseColor(QWidget*, const RgbaColor& current) override;
    void OpenUrl(const QUrl& url) override;

    static FileChoice Choose(const QString& path) { return {true, path}; }
};

}  // namespace lumetra::test
