// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EditorWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <QPushButton>

#include "editor/LooksPanel.h"
#include "editor/ViewController.h"

namespace lumetra {

EditorWindow::EditorWindow(std::shared_ptr<Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Lumetra"));
    controller_ = new ViewController(std::move(dialogs), this);
    setCentralWidget(controller_);
    // The looks beside the editor panel, in a dock the View menu shows and
    // hides.
    looks_ = new QDockWidget(tr("Looks"), this);
    looks_->setObjectName(QStringLiteral("dockLooks"));
    looks_->setWidget(new LooksPanel(controller_, LookStore::Standard(), looks_));
    looks_->setMinimumWidth(220);
    addDockWidget(Qt::RightDockWidgetArea, looks_);
    BuildMenus();
    connect(controller_, &ViewController::statusMessage, this,
            [this](const QString& message) { statusBar()->showMessage(message, 8000); });
    statusBar()->showMessage(tr("Open a photo to start (File > Open, or drop it on the preview)."));
    setMinimumSize(960, 600);
    resize(1240, 760);
    controller_->viewDidLoad();
}

void EditorWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* newAction = file->addAction(tr("&New"), controller_, &ViewController::OnFileNew);
    newAction->setShortcut(QKeySequence::New);
    QAction* open =
        file->addAction(tr("&Open Image…"), controller_, &ViewController::OnSelectImage);
    open->setShortcut(QKeySequence::Open);
    QAction* save = file->addAction(tr("&Save Image…"), controller_, &ViewController::OnSaveImage);
    save->setShortcut(QKeySequence::Save);
    // Saving is possible exactly when the panel's save button is.
    save->setEnabled(controller_->buttonSaveImage->isEnabled());
    connect(controller_, &ViewController::saveAvailabilityChanged, save, &QAction::setEnabled);
    file->addSeparator();
    file->addAction(tr("&Export Settings…"), controller_, &ViewController::OnExportSettings);
    file->addAction(tr("&Import Settings…"), controller_, &ViewController::OnImportSettings);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), controller_, &ViewController::OnAppQuit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = edit->addAction(tr("&Undo"), controller_, &ViewController::OnUndo);
    undo->setShortcut(QKeySequence::Undo);
    undo->setIcon(
        QIcon::fromTheme(QStringLiteral("edit-undo"), style()->standardIcon(QStyle::SP_ArrowBack)));
    QAction* redo = edit->addAction(tr("&Redo"), controller_, &ViewController::OnRedo);
    // Ctrl+Shift+Z everywhere, with the platform's own Redo keys as well.
    QList<QKeySequence> redoKeys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Redo))
        if (!redoKeys.contains(key)) redoKeys << key;
    redo->setShortcuts(redoKeys);
    redo->setIcon(QIcon::fromTheme(QStringLiteral("edit-redo"),
                                   style()->standardIcon(QStyle::SP_ArrowForward)));
    const auto updateHistoryActions = [this, undo, redo] {
        undo->setEnabled(controller_->CanUndo());
        redo->setEnabled(controller_->CanRedo());
    };
    connect(controller_, &ViewController::historyChanged, this, updateHistoryActions);
    updateHistoryActions();

    QToolBar* toolbar = addToolBar(tr("History"));
    toolbar->setObjectName(QStringLiteral("historyToolBar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->addAction(undo);
    toolbar->addAction(redo);
    toolbar->addSeparator();
    // Held down, the button shows the unedited photo, as the backslash key
    // does.
    auto* compare = new QToolButton(toolbar);
    compare->setObjectName(QStringLiteral("buttonCompare"));
    compare->setText(tr("Compare"));
    compare->setToolTip(tr("Hold to see the original photo (or hold \\)"));
    compare->setIcon(QIcon::fromTheme(QStringLiteral("view-preview")));
    compare->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(compare, &QToolButton::pressed, controller_, [this] { controller_->Compare(true); });
    connect(compare, &QToolButton::released, controller_, [this] { controller_->Compare(false); });
    toolbar->addWidget(compare);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* zoomIn = view->addAction(tr("Zoom &In"), controller_, &ViewController::OnZoomIn);
    zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction* zoomOut = view->addAction(tr("Zoom &Out"), controller_, &ViewController::OnZoomOut);
    zoomOut->setShortcut(QKeySequence::ZoomOut);
    QAction* fit = view->addAction(tr("&Fit to Window"), controller_, &ViewController::OnResetZoom);
    fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    view->addSeparator();
    QAction* showLooks = looks_->toggleViewAction();
    showLooks->setText(tr("&Looks"));
    view->addAction(showLooks);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("How to &Rotate Images"), controller_, &ViewController::OnHowToRotateImages);
    help->addAction(tr("How to Add &Artistic Effects to Images"), controller_,
                    &ViewController::OnHowToAddArtisticEffectsToImages);
    help->addSeparator();
    QAction* about = help->addAction(tr("&About Lumetra"), this, [this] {
        QMessageBox::about(this, tr("About Lumetra"),
                           tr("<h3>Lumetra %1</h3><p>A desktop photo editor.</p>"
                              "<p>Free software under the GNU General Public License, version 3 "
                              "or later.</p>")
                               .arg(QCoreApplication::applicationVersion()));
    });
    about->setMenuRole(QAction::AboutRole);
}

}  // namespace lumetra
