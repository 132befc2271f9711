// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the screenshots of the help pages and the desktop metadata: the real
// editor window, offscreen, with a generated landscape opened and a few
// settings applied.
//   lumetra-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "app/EditorWindow.h"
#include "editor/ViewController.h"
#include "files/CustomImageView.h"

namespace {

using lumetra::EditorWindow;
using lumetra::ViewController;

// A small landscape: sky, sun, hills, a lake.
QImage Landscape(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h * 0.6);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(250, 190, 120));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(w * 0.7, h * 0.35, h * 0.12);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    p.fillRect(image.rect(), sun);
    const auto hill = [&](double base, double amp, double phase, QColor color) {
        QPainterPath path(QPointF(0, h));
        for (int x = 0; x <= w; x += 8)
            path.lineTo(x, h * base - amp * h * std::sin(x * 6.0 / w + phase));
        path.lineTo(w, h);
        path.closeSubpath();
        p.fillPath(path, color);
    };
    hill(0.62, 0.06, 0.5, QColor(70, 100, 80));
    hill(0.72, 0.05, 2.0, QColor(45, 85, 55));
    QLinearGradient lake(0, h * 0.8, 0, h);
    lake.setColorAt(0, QColor(60, 110, 160));
    lake.setColorAt(1, QColor(20, 50, 90));
    p.fillRect(QRectF(0, h * 0.82, w, h * 0.18), lake);
    return image;
}

bool WaitIdle(ViewController& vc) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } while ((vc.updating() || timer.elapsed() < 300) && timer.elapsed() < 30000);
    return !vc.updating();
}

bool Shoot(EditorWindow& window, const QString& path) {
    QCoreApplication::processEvents();
    return window.grab().toImage().save(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumetra-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir temp;
    const QString photo = temp.filePath("lake.jpg");
    Landscape(1800, 1200).save(photo, "jpeg", 92);

    EditorWindow window;
    window.resize(1280, 800);
    window.show();
    ViewController& vc = *window.controller();
    vc.LoadOriginalImage(photo);
    if (!WaitIdle(vc)) return 1;
    bool ok = Shoot(window, out.filePath("main-window.png"));

    vc.tabView->setCurrentIndex(3);
    vc.sliderRotateAngle->setFloatValue(30.f);
    vc.checkRotate->click();
    ok = WaitIdle(vc) && ok && Shoot(window, out.filePath("rotating-images.png"));

    vc.checkRotate->click();
    vc.sliderContrast->moveTo(1.2f);
    vc.checkSepia->click();
    vc.tabView->setCurrentIndex(1);
    vc.checkOilPainting->click();
    vc.checkVignette->click();
    ok = WaitIdle(vc) && ok && Shoot(window, out.filePath("artistic-effects.png"));
    return ok ? 0 : 1;
}
