// SPDX-License-Identifier: GPL-3.0-or-later
// The preview: shows the current result scaled into its frame, keeping its
// proportions, and is where files are dropped.
#pragma once

#include <QImage>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

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
    // True until the first picture is given: the view holds no image object.
    bool hasImage() const { return hasImage_; }

signals:
    // A file was dropped and accepted: {"path": its path}.
    void dragPerformed(const QVariantMap& userInfo);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect pictureRect() const;

    QStringList acceptedTypes_;
    QImage image_;
    bool hasImage_ = false;
    QImage scaled_;  // the picture at its on-screen size, made once per change
};

}  // namespace lumetra
