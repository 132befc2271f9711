// SPDX-License-Identifier: GPL-3.0-or-later
// The preview: shows the current result scaled into its frame, keeping its
// proportions, and is where files are dropped.
#pragma once

#include <QImage>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class QMimeData;

namespace lumetra {

class CustomImageView : public QWidget {
    Q_OBJECT
public:
    explicit CustomImageView(QWidget* parent = nullptr);

    // The extensions a dropped file may have, lower case.
    const QStringList& acceptedTypes() const { return acceptedTypes_; }

    // The picture shown (full resolution). An empty picture (0 x 0) shows
    // nothing.
    const QImage& image() const { return image_; }
    void setImage(const QImage& image);
    // True once a picture (possibly the empty one) has been given.
    bool hasImage() const { return hasImage_; }

    // Asks the user a yes/no question; true unless "No" was answered.
    using Confirm = std::function<bool(const QString& question)>;
    void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

    // Takes a drop: a file URL whose extension is accepted and whose file
    // reads as a picture is handed on through dragPerformed(). Asks first
    // unless the view shows the empty picture. True when the drop was taken.
    bool performDragOperation(const QMimeData* data);

signals:
    // A file was dropped and accepted: {"path": its path}.
    void dragPerformed(const QVariantMap& userInfo);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QRect pictureRect() const;

    QStringList acceptedTypes_;
    QImage image_;
    bool hasImage_ = false;
    QImage scaled_;  // the picture at its on-screen size, made once per change
    Confirm confirm_;
};

}  // namespace lumetra
