// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EditorWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>
#include <QStatusBar>

#include "editor/ViewController.h"

namespace lumetra {

EditorWindow::EditorWindow(std::shared_ptr<Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Lumetra"));
    controller_ = new ViewController(std::move(dialogs), this);
    setCentralWidget(controller_);
    BuildMenus();
    connect(controller_, &ViewController::statusMessage, this,
            [this](const QString& message) { statusBar()->showMessage(message, 8000); });
    statusBar()->showMessage(tr("Open a photo to start (File > Open, or drop it on the preview)."));
    resize(1240, 760);
    controller_->viewDidLoad();
}

void EditorWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* newAction = file->addAction(tr("&New"), controller_, &ViewController::OnFileNew);
    newAction->setShortcut(QKeySequence::New);
    QAction* open = file->addAction(tr("&Open Image…"), controller_, &ViewController::OnSelectImage);
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), controller_, &ViewController::OnAppQuit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("How to &Rotate Images"), controller_,
                    &ViewController::OnHowToRotateImages);
    help->addAction(tr("How to Add &Artistic Effects to Images"), controller_,
                    &ViewController::OnHowToAddArtisticEffectsToImages);
}

}  // namespace lumetra
