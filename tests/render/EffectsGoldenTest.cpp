// SPDX-License-Identifier: GPL-3.0-or-later
// Every effect at the panel's defaults against a stored 16-bit PNG under
// tests/render/golden; LUMETRA_UPDATE_GOLDEN=1 writes them anew.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cmath>
#include <functional>

#include "render/EffectsTestSupport.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "settings/EditSettings.h"
#include "settings/SettingsFields.h"

namespace lumetra {
namespace {

// Rounding differences between processors, far below a visible change.
constexpr float kTolerance = 1.f / 255.f;

QString GoldenPath(const char* name) {
    return QStringLiteral(LUMETRA_EFFECTS_GOLDEN_DIR "/%1.png").arg(QLatin1String(name));
}

QString FailurePath(const char* name, const char* which) {
    const QString dir = QStringLiteral(LUMETRA_TEST_OUTPUT_DIR "/effects-golden");
    QDir().mkpath(dir);
    return QStringLiteral("%1/%2-%3.png").arg(dir, QLatin1String(name), QLatin1String(which));
}

// 96 x 64: gradients, hard-edged shapes, a transparent corner and a
// half-transparent band, so the blurs' handling of alpha is pinned too.
Image Reference() {
    const Image shapes = test::Shapes(96, 64);
    return test::Painted(96, 64, [&](int x, int y) {
        test::Rgba p = test::PixelAt(shapes, x, y);
        if (x + y < 20) p.a = 0.f;
        if (y >= 50 && y < 56) p.a = 0.5f;
        return p;
    });
}

QImage ToSixteenBit(const Image& image) {
    QImage out(image.width(), image.height(), QImage::Format_RGBA64);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint16*>(out.scanLine(y));
        const float* row = image.row(y);
        for (std::size_t i = 0; i < image.rowFloats(); ++i)
            line[i] = quint16(std::lround(std::clamp(row[i], 0.f, 1.f) * 65535.f));
    }
    return out;
}

Image FromSixteenBit(const QImage& stored) {
    const QImage image = stored.convertToFormat(QImage::Format_RGBA64);
    Image out = Image::CreateUninitialised(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint16*>(image.constScanLine(y));
        for (std::size_t i = 0; i < out.rowFloats(); ++i) out.row(y)[i] = line[i] / 65535.f;
    }
    return out;
}

// Run by the pipeline; the 3D transform, the identity at its defaults, tilted.
struct Golden {
    const char* name;
    const char* checkBox;
    void (*set)(EditSettings&) = nullptr;
    Image apply(const Image& source) const {
        EditSettings settings;
        SetField(settings, *FindField(checkBox), 1);
        if (set) set(settings);
        return RenderPipeline(source, settings, Image());
    }
};

void Tilt(EditSettings& s) {
    s.stepper3DTransformM11 = 0.9f;
    s.stepper3DTransformM12 = 0.2f;
    s.stepper3DTransformM14 = 0.3f;
    s.stepper3DTransformM41 = 0.1f;
}

std::ostream& operator<<(std::ostream& out, const Golden& g) {
    return out << g.name;
}

const Golden kGoldens[] = {
    {"cartoon", "checkCartoon"},
    {"oil-painting", "checkOilPainting"},
    {"vignette", "checkVignette"},
    {"pixelate", "checkPixellate"},
    {"halftone", "checkHalftone"},
    {"blur", "checkBlur"},
    {"circle-blur", "checkCircleBlur"},
    {"focus-blur", "checkFocusBlur"},
    {"motion-blur", "checkMotionBlur"},
    {"zoom-blur", "checkZoomBlur"},
    {"swirl", "checkSwirl"},
    {"glass-sphere", "checkGlassSphere"},
    {"transform", "check3DTransform", Tilt},
};

class EffectGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(EffectGolden, MatchesTheStoredPicture) {
    const Golden& golden = GetParam();
    const Image actual = golden.apply(Reference()).toFloat();
    const QString path = GoldenPath(golden.name);
    if (qEnvironmentVariableIsSet("LUMETRA_UPDATE_GOLDEN")) {
        ASSERT_TRUE(ToSixteenBit(actual).save(path)) << path.toStdString();
    }

    // A missing stored picture differs infinitely.
    const QImage stored(path);
    const Image expected = stored.isNull() ? Image() : FromSixteenBit(stored);
    EXPECT_GT(test::MaxDifference(expected, Reference(), true), 10 * kTolerance)
        << "the stored picture is the reference itself";
    const float difference = test::MaxDifference(actual, expected, true);
    if (!(difference <= kTolerance)) {
        const QString actualPath = FailurePath(golden.name, "actual");
        ToSixteenBit(actual).save(actualPath);
        stored.save(FailurePath(golden.name, "expected"));
        ADD_FAILURE() << path.toStdString() << " differs by up to " << difference * 255.f
                      << "/255; actual: " << actualPath.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectGolden, ::testing::ValuesIn(kGoldens),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace lumetra
