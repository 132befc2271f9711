// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures made in code for the tests, and the controller set up as the
// window sets it up.
#pragma once

#include <QImage>
#include <QSemaphore>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <memory>

#include "editor/ViewController.h"
#include "render/Image.h"
#include "support/FakeDialogs.h"

namespace lumetra::test {

// A smooth colour gradient with a little deterministic noise, like a photo.
QImage PhotoLike(int width, int height, bool withAlpha = false);

// Writes a picture into dir; returns its path (empty on failure).
QString WriteImageFile(const QTemporaryDir& dir, const QString& name, const QImage& image,
                       const char* format = nullptr, int quality = 95);

// A float picture whose every pixel is the given colour.
Image Flat(int width, int height, float r, float g, float b, float a = 1.f);

// One pixel of a float picture.
struct Rgba {
    float r, g, b, a;
};
Rgba PixelAt(const Image& image, int x, int y);

// A controller in its start-up state, with scripted dialogs.
struct Editor {
    Editor();
    ~Editor();
    std::shared_ptr<FakeDialogs> dialogs;
    std::unique_ptr<ViewController> controller;

    // Waits until the next completion step has run; false on timeout.
    // Waits until no pass is running any more.
    bool WaitUntilIdle(int timeoutMs = 20000);
    // Opens a file through the open dialog and waits for its pass.
    bool Open(const QString& path);
};

// A render function that holds each pass until the test lets it go, and
// counts the passes.
struct GatedRender {
    QSemaphore gate;
    std::atomic<int> started{0};
    ViewController::RenderFunction Function();
    void Release(int passes = 1) { gate.release(passes); }
};

// A small camera raw file: an uncompressed 16-bit Bayer (RGGB) DNG of
// width x height photosites in one strip, with the Exif Orientation
// given, a Make of "Lumetra Test" and a plain colour matrix. The header can
// be made to claim a larger size than its data holds.
QByteArray MakeDng(int width, int height, int orientation, QSize claimed = QSize());

}  // namespace lumetra::test
