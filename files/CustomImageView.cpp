// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CustomImageView.h"

#include <QPainter>
#include <QResizeEvent>

namespace lumetra {

CustomImageView::CustomImageView(QWidget* parent)
    : QWidget(parent),
      acceptedTypes_{"jpg", "jpeg", "jpe", "jp2", "jpx", "png", "tiff", "tif", "gif", "bmp"} {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
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

void CustomImageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scaled_ = QImage();
}

}  // namespace lumetra
