// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CustomImageView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QUrl>

#include "files/ImageReader.h"

namespace lumetra {

CustomImageView::CustomImageView(QWidget* parent)
    : QWidget(parent),
      acceptedTypes_{"jpg", "jpeg", "jpe", "jp2", "jpx", "png", "tiff", "tif", "gif", "bmp"} {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAcceptDrops(true);
    setAccessibleName(tr("Preview"));
}

void CustomImageView::setImage(const QImage& image) {
    image_ = image;
    hasImage_ = true;
    scaled_ = QImage();
    update();
}

QRect CustomImageView::pictureRect() const {
    if (image_.isNull() || width() <= 0 || height() <= 0) return {};
    QSize size = image_.size();
    size.scale(this->size(), Qt::KeepAspectRatio);
    if (size.isEmpty()) size = QSize(1, 1);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void CustomImageView::paintEvent(QPaintEvent*) {
    const QRect target = pictureRect();
    if (target.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (scaled_.size() != pixels) {
        scaled_ = image_.size() == pixels
                      ? image_
                      : image_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled_ = scaled_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        scaled_.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawImage(target.topLeft(), scaled_);
}

bool CustomImageView::performDragOperation(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    const QList<QUrl> urls = data->urls();
    const QUrl url = urls.isEmpty() ? QUrl() : urls.first();

    // Ask before the picture on show is replaced; the empty picture of a
    // fresh editor has nothing to lose.
    const bool showsEmpty = hasImage_ && image_.isNull();
    if (!showsEmpty && confirm_ &&
        !confirm_(QStringLiteral(
            "All unsaved changes will be lost. Are you sure you want to add a new image?")))
        return false;

    if (url.isEmpty()) return false;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    if (!acceptedTypes_.contains(extension)) return false;
    if (path.isEmpty() || !ReadImageFile(path).ok()) return false;

    QVariantMap userInfo;
    userInfo.insert(QStringLiteral("path"), path);
    emit dragPerformed(userInfo);
    return true;
}

void CustomImageView::dragEnterEvent(QDragEnterEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CustomImageView::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CustomImageView::dropEvent(QDropEvent* event) {
    if (performDragOperation(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CustomImageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scaled_ = QImage();
}

}  // namespace lumetra
