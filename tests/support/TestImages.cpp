// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestImages.h"

#include <QElapsedTimer>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTest>

namespace lumetra::test {

QImage PhotoLike(int width, int height, bool withAlpha) {
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int((seed >> 24) % 9) - 4;
            const int r = std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255);
            const int g = std::clamp(y * 255 / std::max(1, height - 1) + noise, 0, 255);
            const int b = std::clamp(128 + (x - y) * 64 / std::max(1, width) + noise, 0, 255);
            const int a = withAlpha ? std::clamp(255 - x * 200 / std::max(1, width), 0, 255) : 255;
            line[x] = qRgba(r, g, b, a);
        }
    }
    return image;
}

QString WriteImageFile(const QTemporaryDir& dir, const QString& name, const QImage& image,
                       const char* format, int quality) {
    const QString path = dir.filePath(name);
    QImageWriter writer(path);
    if (format) writer.setFormat(format);
    writer.setQuality(quality);
    return writer.write(image) ? path : QString();
}

Image Flat(int width, int height, float r, float g, float b, float a) {
    Image image = Image::CreateUninitialised(width, height);
    for (int y = 0; y < height; ++y) {
        float* row = image.row(y);
        for (int x = 0; x < width; ++x) {
            row[4 * x + 0] = r;
            row[4 * x + 1] = g;
            row[4 * x + 2] = b;
            row[4 * x + 3] = a;
        }
    }
    return image;
}

Rgba PixelAt(const Image& image, int x, int y) {
    std::vector<float> scratch(image.rowFloats());
    const float* row = image.rowAsFloat(y, scratch.data());
    return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
}

Editor::Editor()
    : dialogs(std::make_shared<FakeDialogs>()),
      controller(std::make_unique<ViewController>(dialogs)) {
    controller->resize(1200, 760);
    controller->viewDidLoad();
}

Editor::~Editor() { WaitUntilIdle(); }

bool Editor::WaitForPass(int timeoutMs) {
    QSignalSpy spy(controller.get(), &ViewController::renderPassFinished);
    return spy.wait(timeoutMs);
}

bool Editor::WaitUntilIdle(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (controller->updating()) {
        if (timer.elapsed() > timeoutMs) return false;
        QSignalSpy spy(controller.get(), &ViewController::renderPassFinished);
        spy.wait(100);
    }
    return true;
}

bool Editor::Open(const QString& path) {
    dialogs->openAnswers.enqueue(FakeDialogs::Choose(path));
    QSignalSpy spy(controller.get(), &ViewController::renderPassFinished);
    controller->OnSelectImage();
    if (!controller->updating()) return false;
    return spy.wait(20000) && WaitUntilIdle();
}

ViewController::RenderFunction GatedRender::Function() {
    return [this](const QString& path, const EditSettings& settings, const Image& logo) {
        ++started;
        gate.acquire();
        return RunRenderPass(path, settings, logo);
    };
}

}  // namespace lumetra::test
