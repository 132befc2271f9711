// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestImages.h"

#include <algorithm>
#include <vector>

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

Editor::~Editor() {
    WaitUntilIdle();
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

QByteArray MakeDng(int width, int height, int orientation, QSize claimed) {
    if (!claimed.isValid()) claimed = QSize(width, height);
    struct Entry {
        quint16 tag, type;
        quint32 count;
        QByteArray value;  // little-endian, padded to 4 bytes inline
    };
    const auto le = [](quint64 v, int n) {
        QByteArray b;
        for (int i = 0; i < n; ++i) b.append(char(v >> (8 * i) & 0xFF));
        return b;
    };
    const auto shorts = [&](std::initializer_list<int> v) {
        QByteArray b;
        for (int x : v) b += le(quint64(x), 2);
        return b;
    };
    const auto rationals = [&](std::initializer_list<int> v, int denominator) {
        QByteArray b;
        for (int x : v) b += le(quint32(qint32(x)), 4) + le(quint32(denominator), 4);
        return b;
    };
    QByteArray pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool red = y % 2 == 0 && x % 2 == 0, blue = y % 2 == 1 && x % 2 == 1;
            const int level = 2000 + 40 * x + (red ? 8000 : blue ? 1000 : 4000);
            pixels += le(quint64(std::min(level, 65535)), 2);
        }
    std::vector<Entry> entries = {
        {254, 4, 1, le(0, 4)},
        {256, 4, 1, le(quint64(claimed.width()), 4)},
        {257, 4, 1, le(quint64(claimed.height()), 4)},
        {258, 3, 1, shorts({16})},
        {259, 3, 1, shorts({1})},
        {262, 3, 1, shorts({32803})},
        {271, 2, 13, QByteArray("Lumetra Test", 13)},
        {273, 4, 1, QByteArray()},  // the strip's offset, set below
        {274, 3, 1, shorts({orientation})},
        {277, 3, 1, shorts({1})},
        {278, 4, 1, le(quint64(claimed.height()), 4)},
        {279, 4, 1, le(quint64(pixels.size()), 4)},
        {284, 3, 1, shorts({1})},
        {33421, 3, 2, shorts({2, 2})},
        {33422, 1, 4, QByteArray("\0\1\1\2", 4)},
        {50706, 1, 4, QByteArray("\1\4\0\0", 4)},
        {50708, 2, 13, QByteArray("Lumetra Test", 13)},
        {50721, 10, 9, rationals({10000, 0, 0, 0, 10000, 0, 0, 0, 10000}, 10000)},
        {50728, 5, 3, rationals({5000, 10000, 8000}, 10000)},
        {50778, 3, 1, shorts({21})},
    };
    const quint32 ifdSize = 2 + quint32(entries.size()) * 12 + 4;
    quint32 extraAt = 8 + ifdSize;
    QByteArray ifd = le(entries.size(), 2), extra;
    for (Entry& e : entries) {
        if (e.tag == 273) e.value = le(0, 4);
        QByteArray value = e.value;
        if (value.size() > 4) {
            value = le(extraAt + quint32(extra.size()), 4);
            extra += e.value;
            if (extra.size() % 2) extra.append('\0');
        }
        ifd += le(e.tag, 2) + le(e.type, 2) + le(e.count, 4) + value.leftJustified(4, '\0');
    }
    ifd += le(0, 4);
    const quint32 stripAt = extraAt + quint32(extra.size());
    // The strip offset entry is the eighth.
    const qsizetype stripEntry = 2 + 7 * 12 + 8;
    ifd.replace(stripEntry, 4, le(stripAt, 4));
    return QByteArray("II*\0", 4) + le(8, 4) + ifd + extra + pixels;
}

}  // namespace lumetra::test
