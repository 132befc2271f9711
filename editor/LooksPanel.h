// SPDX-License-Identifier: GPL-3.0-or-later
// The Looks panel: the user's looks and the shipped ones, each with a
// thumbnail of the open photo in that look. A click applies a look (Undo
// takes it back); "Save Look..." keeps the current settings under a name;
// the user's own looks can be renamed and deleted. A look whose file cannot
// be read is listed with a warning and never applied.
#pragma once

#include <QWidget>

#include "settings/Looks.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace lumetra {

class ViewController;

class LooksPanel : public QWidget {
    Q_OBJECT
  public:
    LooksPanel(ViewController* controller, LookStore store, QWidget* parent = nullptr);

    // Reads the looks again and asks for their thumbnails.
    void Refresh();

    QListWidget* list() const { return list_; }

    // The panel's commands, as its buttons run them.
    void SaveLook();
    void RenameLook();
    void DeleteLook();
    void ApplyLook(const QString& name);

  private:
    void OnThumbnail(const QString& name, const QImage& picture);
    void UpdateButtons();
    const Look* Selected() const;

    ViewController* controller_;
    LookStore store_;
    QList<Look> looks_;
    QListWidget* list_;
    QPushButton* rename_;
    QPushButton* delete_;
};

}  // namespace lumetra
