// SPDX-License-Identifier: GPL-3.0-or-later
// The preview: shows the current result scaled into its frame, keeping its
// proportions, and is where files are dropped. Its frame inside the viewport
// (its parent) is the zoom and pan state.
#pragma once

#include <QImage>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <functional>

#include "viewport/ViewportMath.h"

class QMimeData;

namespace lumetra {

class CustomImageView : public QWidget {
    Q_OBJECT
  public:
    explicit CustomImageView(QWidget* parent = nullptr);

    // The extensions a dropped file may have, lower case.
    const QStringList& acceptedTypes() const { return acceptedTypes_; }

    // The current result at full resolution (what saving writes). An empty
    // picture (0 x 0) shows nothing. Setting it ends a preview.
    const QImage& image() const { return image_; }
    // `display`, when given, is the same picture reduced: it is drawn in the
    // image's place whenever it holds enough pixels for the view's size.
    void setImage(const QImage& image, const QImage& display = QImage());
    // A reduced picture of the result to come, shown in the same frame until
    // the next setImage(); a null picture ends it.
    void setPreview(const QImage& preview);
    bool showsPreview() const { return !preview_.isNull(); }
    // While `original` is not null it is shown instead of everything else
    // (the unedited photo, to compare with); a null picture ends it.
    void setComparison(const QImage& original);
    bool showsComparison() const { return !comparison_.isNull(); }
    // What is on screen: the comparison, else the preview, else the result.
    const QImage& displayed() const;
    // True once a picture (possibly the empty one) has been given.
    bool hasImage() const { return hasImage_; }

    // The view's frame in its viewport's coordinates, y growing upward from
    // the viewport's lower-left corner. Setting it places the widget.
    const Frame& frame() const { return frame_; }
    void setFrame(const Frame& frame);

    // Asks the user a yes/no question; true unless "No" was answered.
    using Confirm = std::function<bool(const QString& question)>;
    void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

    // Takes a drop: a file URL whose extension is accepted and whose header
    // reads as a picture the editor takes (ProbeImageFile: format, size
    // limit; the pixels are not decoded) is handed on through
    // dragPerformed(). Asks first unless the view shows the empty picture.
    // True when the drop was taken.
    bool performDragOperation(const QMimeData* data);

    // Where the picture sits inside the view, keeping its proportions.
    QRectF pictureRect() const;

  signals:
    // A file was dropped and accepted: {"path": its path}.
    void dragPerformed(const QVariantMap& userInfo);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QStringList acceptedTypes_;
    QImage image_;
    QImage display_;
    QImage preview_;
    QImage comparison_;
    bool hasImage_ = false;
    Frame frame_;
    // The picture at its on-screen size when that is smaller than the
    // picture: made once per new picture or zoom, then only copied.
    QImage scaled_;
    Confirm confirm_;
};

}  // namespace lumetra
