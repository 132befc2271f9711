// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window: the menus, the status bar and the controller as its
// content.
#pragma once

#include <QDockWidget>
#include <QMainWindow>
#include <memory>

#include "editor/Dialogs.h"

namespace lumetra {

class ViewController;

class EditorWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit EditorWindow(std::shared_ptr<Dialogs> dialogs = nullptr, QWidget* parent = nullptr);

    ViewController* controller() const { return controller_; }

  private:
    void BuildMenus();

    ViewController* controller_;
    QDockWidget* looks_;
};

}  // namespace lumetra
