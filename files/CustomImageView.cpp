// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CustomImageView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>
#include <cmath>

#include "files/ImageReader.h"

namespace lumetra {

CustomImageView::CustomImageView(QWidget* parent)
    : QWidget(parent), acceptedTypes_(SourceExtensions()) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAcceptDrops(true);
    setAccessibleName(tr("Preview"));
}

void CustomImageView::setImage(const QImage& image, const QImage& display) {
    image_ = image;
    display_ = display;
    preview_ = QImage();
    hasImage_ = true;
    scaled_ = QImage();
    update();
}

void CustomImageView::setPreview(const QImage& preview) {
    preview_ = preview;
    scaled_ = QImage();
    update();
}

void CustomImageView::setComparison(const QImage& original) {
    comparison_ = original;
    scaled_ = QImage();
    update();
}

const QImage& CustomImageView::displayed() const {
    if (!comparison_.isNull()) return comparison_;
    if (!preview_.isNull() && !image_.isNull()) return preview_;
    return image_;
}

void CustomImageView::setFrame(const Frame& frame) {
    frame_ = frame;
    const int parentHeight = parentWidget() ? parentWidget()->height() : 0;
    // The frame's y grows upward from the viewport's bottom; Qt's from its top.
    const QRect rect(int(std::lround(frame.x)),
                     int(std::lround(parentHeight - frame.y - frame.height)),
                     int(std::lround(frame.width)), int(std::lround(frame.height)));
    if (rect.size() != size()) scaled_ = QImage();
    setGeometry(rect);
}

QRectF CustomImageView::pictureRect() const {
    const QImage& picture = displayed();
    if (picture.isNull() || width() <= 0 || height() <= 0) return {};
    QSizeF size = picture.size();
    size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void CustomImageView::paintEvent(QPaintEvent* event) {
    const QImage& picture = displayed();
    const QRectF target = pictureRect();
    if (target.isEmpty()) return;
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = (target.size() * ratio).toSize();
    if (devicePixels.width() < picture.width() && devicePixels.height() < picture.height()) {
        // Smaller than the picture: scale once, then every paint (panning,
        // exposing) only copies pixels. The reduced copy of the result
        // serves when it holds enough pixels.
        const bool reduced = &picture == &image_ && !display_.isNull() &&
                             devicePixels.width() <= display_.width() &&
                             devicePixels.height() <= display_.height();
        if (scaled_.size() != devicePixels) {
            scaled_ = (reduced ? display_ : picture)
                          .scaled(devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            scaled_.setDevicePixelRatio(ratio);
        }
        painter.drawImage(target.topLeft(), scaled_);
        return;
    }
    // At or above the picture's own size: draw just the exposed part,
    // smoothly magnified, so a deep zoom costs no more than the viewport.
    const QRectF exposed = target.intersected(QRectF(event->rect()));
    if (exposed.isEmpty()) return;
    const double sx = picture.width() / target.width();
    const double sy = picture.height() / target.height();
    const QRectF source((exposed.left() - target.left()) * sx, (exposed.top() - target.top()) * sy,
                        exposed.width() * sx, exposed.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(exposed, picture, source);
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
    // The header says whether the file is a picture the editor takes; the
    // open command that follows decodes it, and says so if its data is
    // damaged.
    if (path.isEmpty() || !ProbeImageFile(path).ok()) return false;

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

}  // namespace lumetra
