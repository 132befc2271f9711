// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom and pan of the preview: the image view's frame inside the viewport
// is the whole state; the arithmetic is viewport/'s, this file only reads and
// writes the frame and turns input events into steps.
#include <QFrame>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"

namespace lumetra {

ViewportSize ViewController::Viewport() const {
    return {double(customViewImage->width()), double(customViewImage->height())};
}

void ViewController::ApplyZoomStep(double step) {
    if (!imageView->hasImage()) return;
    imageView->setFrame(viewport::Zoom(imageView->frame(), Viewport(), step));
    UpdatePanCursor();
}

void ViewController::OnZoomIn() {
    ApplyZoomStep(viewport::kZoomInStep);
}
void ViewController::OnZoomOut() {
    ApplyZoomStep(viewport::kZoomOutStep);
}

void ViewController::OnResetZoom() {
    if (imageView->hasImage()) ResetZoom();
}

void ViewController::ResetZoom() {
    imageView->setFrame(viewport::ResetZoom(imageView->frame(), Viewport()));
    UpdatePanCursor();
}

void ViewController::RepositionImageInVisibleArea() {
    imageView->setFrame(viewport::RepositionImageInVisibleArea(imageView->frame(), Viewport()));
}

void ViewController::mouseDragged(const QPointF& windowPosition, const QPointF& delta) {
    // Only drags over the preview's box count; its edges are inside.
    const QPointF topLeft = boxImage->mapTo(window(), QPointF(0, 0));
    const QRectF box(topLeft, QSizeF(boxImage->size()));
    if (windowPosition.x() < box.left() || windowPosition.x() > box.right() ||
        windowPosition.y() < box.top() || windowPosition.y() > box.bottom())
        return;
    imageView->setFrame(viewport::Pan(imageView->frame(), Viewport(), delta.x(), delta.y()));
}

void ViewController::UpdatePanCursor() {
    const bool movable = imageView->frame().width > Viewport().width + 0.5 ||
                         imageView->frame().height > Viewport().height + 0.5;
    imageView->setCursor(movable ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

bool ViewController::HandleViewportEvent(QObject* watched, QEvent* event) {
    if (watched == customViewImage && event->type() == QEvent::Resize) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        const QSize old = resize->oldSize();
        const ViewportSize after{double(resize->size().width()), double(resize->size().height())};
        if (old.width() <= 0 || old.height() <= 0 || imageView->frame().width <= 0.0) {
            imageView->setFrame(viewport::ResetZoom(imageView->frame(), after));
        } else {
            const ViewportSize before{double(old.width()), double(old.height())};
            imageView->setFrame(viewport::FollowViewportResize(imageView->frame(), before, after));
        }
        UpdatePanCursor();
        return false;
    }
    if (watched != imageView && watched != customViewImage) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            lastDragPosition_ = mouse->globalPosition();
            if (imageView->cursor().shape() == Qt::OpenHandCursor)
                imageView->setCursor(Qt::ClosedHandCursor);
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton)) return false;
            const QPointF now = mouse->globalPosition();
            const QPointF delta = now - lastDragPosition_;
            lastDragPosition_ = now;
            mouseDragged(static_cast<QWidget*>(watched)->mapTo(window(), mouse->position()), delta);
            return true;
        }
        case QEvent::MouseButtonRelease:
            UpdatePanCursor();
            return false;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
            // One step per notch; finer wheels add up to notches.
            wheelAngle_ += wheel->angleDelta().y();
            while (wheelAngle_ >= 120) {
                OnZoomIn();
                wheelAngle_ -= 120;
            }
            while (wheelAngle_ <= -120) {
                OnZoomOut();
                wheelAngle_ += 120;
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace lumetra
