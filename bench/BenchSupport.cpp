// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <cstdint>

#include "files/ImageReader.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFields.h"

namespace lumetra::bench {

const QString& PhotoJpegPath() {
    static const QString path = [] {
        const QString file =
            QDir::temp().filePath(QStringLiteral("lumetra-bench-6000x4000-q90.jpg"));
        if (QFileInfo(file).size() > 0) return file;
        QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
        std::uint32_t seed = 1;
        for (int y = 0; y < kPhotoHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kPhotoWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int n = int(seed >> 27) - 16;
                const auto c = [n](int v) { return v + n < 0 ? 0 : (v + n > 255 ? 255 : v + n); };
                line[x] = qRgb(c(x * 255 / kPhotoWidth), c(y * 255 / kPhotoHeight),
                               c(255 - (x + y) * 255 / (kPhotoWidth + kPhotoHeight)));
            }
        }
        QImageWriter writer(file, "jpeg");
        writer.setQuality(90);
        writer.write(image);
        return file;
    }();
    return path;
}

const Image& PhotoAsFloat() {
    static const Image image = ReadImageFile(PhotoJpegPath()).image.toFloat();
    return image;
}

const Image& Logo() {
    static const Image logo = [] {
        Image image = Image::CreateUninitialised(512, 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 512; ++x) {
                float* p = image.row(y) + 4 * x;
                p[0] = float(x) / 511.f;
                p[1] = float(y) / 255.f;
                p[2] = 0.5f;
                p[3] = 1.f - 0.5f * float(x) / 511.f;
            }
        return image;
    }();
    return logo;
}

EditSettings WithStage(const char* checkBox) {
    EditSettings settings;
    if (const FieldSpec* field = FindField(checkBox)) SetField(settings, *field, 1);
    settings.stepper3DTransformM14 = 0.1f;
    settings.stepper3DTransformM12 = 0.05f;
    settings.sliderRotateAngle = 45.f;
    return settings;
}

Image RunStage(const Image& picture, const char* checkBox) {
    return RenderPipeline(picture, WithStage(checkBox), Image());
}

}  // namespace lumetra::bench
