// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FakeDialogs.h"

namespace lumetra::test {

void FakeDialogs::Alert(QWidget*, const QString& text, AlertStyle style) {
    alerts.append({text, style});
}

bool FakeDialogs::AskYesNo(QWidget*, const QString& text) {
    questions << text;
    return yesNoAnswers.isEmpty() ? true : yesNoAnswers.dequeue();
}

std::optional<QString> FakeDialogs::AskText(QWidget*, const QString&, const QString& label,
                                            const QString&) {
    questions << label;
    return textAnswers.isEmpty() ? std::nullopt : textAnswers.dequeue();
}

Dialogs::FileChoice FakeDialogs::ChooseFileToOpen(QWidget*, const QString&,
                                                  const QStringList& extensions) {
    openExtensions << extensions;
    return openAnswers.isEmpty() ? FileChoice{} : openAnswers.dequeue();
}

Dialogs::FileChoice FakeDialogs::ChooseFileToSave(QWidget*, const QString& title,
                                                  const QString& proposedName, const QString&) {
    saveTitles << title;
    proposedSaveNames << proposedName;
    return saveAnswers.isEmpty() ? FileChoice{} : saveAnswers.dequeue();
}

std::optional<RgbaColor> FakeDialogs::ChooseColor(QWidget*, const RgbaColor&) {
    if (colorAnswers.isEmpty()) return std::nullopt;
    return colorAnswers.dequeue();
}

void FakeDialogs::OpenUrl(const QUrl& url) {
    openedUrls << url;
}

}  // namespace lumetra::test
