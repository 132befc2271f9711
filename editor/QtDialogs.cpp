// SPDX-License-Identifier: GPL-3.0-or-later
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "editor/Dialogs.h"

namespace lumetra {
namespace {

QString NameFilter(const QString& title, const QStringList& extensions) {
    QStringList patterns;
    for (const QString& ext : extensions) {
        // Accept any case on a case-sensitive file system: photo.JPG too.
        QString pattern = QStringLiteral("*.");
        for (const QChar c : ext) {
            if (c.isLetter())
                pattern += QStringLiteral("[%1%2]").arg(c.toLower()).arg(c.toUpper());
            else
                pattern += c;
        }
        patterns << pattern;
    }
    return QStringLiteral("%1 (%2)").arg(title, patterns.join(u' '));
}

}  // namespace

void QtDialogs::Alert(QWidget* parent, const QString& text, AlertStyle style) {
    QMessageBox box(parent);
    box.setIcon(style == AlertStyle::Warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setWindowTitle(QStringLiteral("Lumetra"));
    box.setText(QString());
    box.setInformativeText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("Lumetra"));
    box.setText(QString());
    box.setInformativeText(text);
    QPushButton* yes = box.addButton(QObject::tr("Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QObject::tr("No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() != no;
}

std::optional<QString> QtDialogs::AskText(QWidget* parent, const QString& title,
                                          const QString& label, const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

Dialogs::FileChoice QtDialogs::ChooseFileToOpen(QWidget* parent, const QString& title,
                                                const QStringList& extensions) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(NameFilter(title, extensions));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return {true, files.isEmpty() ? QString() : files.first()};
}

Dialogs::FileChoice QtDialogs::ChooseFileToSave(QWidget* parent, const QString& title,
                                                const QString& proposedName,
                                                const QString& extension) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(NameFilter(extension.toUpper(), {extension}));
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return {true, files.isEmpty() ? QString() : files.first()};
}

std::optional<RgbaColor> QtDialogs::ChooseColor(QWidget* parent, const RgbaColor& current) {
    QColor initial;
    initial.setRgbF(float(current.red), float(current.green), float(current.blue));
    // No alpha channel: the settings text keeps none, so a translucent
    // colour would turn opaque at the first Undo, Redo or import. The text
    // watermark has an opacity of its own.
    const QColor chosen = QColorDialog::getColor(initial, parent, QObject::tr("Text Colour"));
    if (!chosen.isValid()) return std::nullopt;
    return RgbaColor{chosen.redF(), chosen.greenF(), chosen.blueF(), 1.0};
}

void QtDialogs::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace lumetra
