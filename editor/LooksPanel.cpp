// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/LooksPanel.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "editor/RenderScheduler.h"
#include "editor/ViewController.h"

namespace lumetra {

namespace {

constexpr int kIconHeight = 110;

// The empty frame a look shows until its thumbnail comes.
QIcon BlankIcon() {
    QPixmap blank(RenderScheduler::kThumbnailWidth, kIconHeight);
    blank.fill(QColor(128, 128, 128, 40));
    return QIcon(blank);
}

}  // namespace

LooksPanel::LooksPanel(ViewController* controller, LookStore store, QWidget* parent)
    : QWidget(parent), controller_(controller), store_(std::move(store)) {
    setObjectName(QStringLiteral("looksPanel"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("listLooks"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(RenderScheduler::kThumbnailWidth, kIconHeight));
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setSpacing(6);
    list_->setWordWrap(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* save = new QPushButton(tr("Save Look…"), this);
    save->setObjectName(QStringLiteral("buttonSaveLook"));
    rename_ = new QPushButton(tr("Rename…"), this);
    rename_->setObjectName(QStringLiteral("buttonRenameLook"));
    delete_ = new QPushButton(tr("Delete"), this);
    delete_->setObjectName(QStringLiteral("buttonDeleteLook"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(rename_);
    buttons->addWidget(delete_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(save, &QPushButton::clicked, this, &LooksPanel::SaveLook);
    connect(rename_, &QPushButton::clicked, this, &LooksPanel::RenameLook);
    connect(delete_, &QPushButton::clicked, this, &LooksPanel::DeleteLook);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ApplyLook(item->data(Qt::UserRole).toString()); });
    connect(list_, &QListWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(controller_, &ViewController::lookThumbnailReady, this, &LooksPanel::OnThumbnail);
    connect(controller_, &ViewController::pictureChanged, this, &LooksPanel::Refresh);
    Refresh();
}

void LooksPanel::Refresh() {
    const QString current =
        list_->currentItem() ? list_->currentItem()->data(Qt::UserRole).toString() : QString();
    looks_ = store_.List();
    list_->clear();
    for (const Look& look : looks_) {
        auto* item = new QListWidgetItem(look.name, list_);
        item->setData(Qt::UserRole, look.name);
        if (look.ok()) {
            item->setIcon(BlankIcon());
            item->setToolTip(look.builtIn ? tr("%1 (comes with Lumetra)").arg(look.name)
                                          : look.name);
            controller_->RequestLookThumbnail(look.name, look.file->settings);
        } else {
            item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
            item->setToolTip(tr("This look cannot be read: %1").arg(look.error));
            item->setForeground(palette().color(QPalette::PlaceholderText));
        }
        if (look.name == current) list_->setCurrentItem(item);
    }
    UpdateButtons();
}

const Look* LooksPanel::Selected() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item) return nullptr;
    const QString name = item->data(Qt::UserRole).toString();
    for (const Look& look : looks_)
        if (look.name == name) return &look;
    return nullptr;
}

void LooksPanel::UpdateButtons() {
    const Look* look = Selected();
    const bool own = look && !look->builtIn;
    rename_->setEnabled(own);
    delete_->setEnabled(own);
}

void LooksPanel::OnThumbnail(const QString& name, const QImage& picture) {
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (item->data(Qt::UserRole).toString() != name) continue;
        // Centred in the icon's frame, whatever the photo's proportions.
        QPixmap framed(list_->iconSize());
        framed.fill(Qt::transparent);
        QPainter painter(&framed);
        const QImage fitted =
            picture.scaled(list_->iconSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((framed.width() - fitted.width()) / 2,
                          (framed.height() - fitted.height()) / 2, fitted);
        painter.end();
        item->setIcon(QIcon(framed));
    }
}

void LooksPanel::ApplyLook(const QString& name) {
    for (const Look& look : looks_) {
        if (look.name != name) continue;
        if (!look.ok()) {
            emit controller_->statusMessage(
                tr("The look %1 cannot be read: %2").arg(look.name, look.error));
            return;
        }
        controller_->ApplyLook(look.file->settings);
        emit controller_->statusMessage(tr("Look applied: %1").arg(look.name));
        return;
    }
}

void LooksPanel::SaveLook() {
    Dialogs& dialogs = controller_->dialogs();
    const std::optional<QString> name =
        dialogs.AskText(this, tr("Save Look"), tr("Name of the look:"), QString());
    if (!name) return;
    const QString trimmed = name->trimmed();
    if (const QString bad = LookStore::NameError(trimmed); !bad.isEmpty()) {
        dialogs.Alert(this, bad, Dialogs::AlertStyle::Warning);
        return;
    }
    if (store_.UserHas(trimmed) &&
        !dialogs.AskYesNo(
            this, tr("A look named “%1” exists already. Do you want to replace it?").arg(trimmed)))
        return;
    QString error;
    if (!store_.Save(trimmed, controller_->CurrentSettings(), &error)) {
        dialogs.Alert(this, error, Dialogs::AlertStyle::Warning);
        return;
    }
    Refresh();
}

void LooksPanel::RenameLook() {
    const Look* look = Selected();
    if (!look || look->builtIn) return;
    const QString from = look->name;
    Dialogs& dialogs = controller_->dialogs();
    const std::optional<QString> name =
        dialogs.AskText(this, tr("Rename Look"), tr("New name of the look:"), from);
    if (!name || name->trimmed() == from) return;
    QString error;
    if (!store_.Rename(from, name->trimmed(), &error)) {
        dialogs.Alert(this, error, Dialogs::AlertStyle::Warning);
        return;
    }
    Refresh();
}

void LooksPanel::DeleteLook() {
    const Look* look = Selected();
    if (!look || look->builtIn) return;
    const QString name = look->name;
    Dialogs& dialogs = controller_->dialogs();
    if (!dialogs.AskYesNo(this, tr("Delete the look “%1”?").arg(name))) return;
    QString error;
    if (!store_.Remove(name, &error)) {
        dialogs.Alert(this, error, Dialogs::AlertStyle::Warning);
        return;
    }
    Refresh();
}

}  // namespace lumetra
