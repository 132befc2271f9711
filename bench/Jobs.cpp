// SPDX-License-Identifier: GPL-3.0-or-later
#include "Jobs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "BenchSupport.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "files/RenderJob.h"
#include "render/FontFamilies.h"
#include "render/ImageTools.h"
#include "render/RenderPipeline.h"
#include "settings/EditSettings.h"

namespace lumetra::bench {
namespace {

using Work = std::function<void()>;

// Keeps a result alive until the timing has stopped, so that freeing it is
// not counted, and so that the compiler cannot drop the work.
Image& Sink() {
    static Image sink;
    return sink;
}

// The photo as a pass receives it from the reader: 8-bit, as decoded.
const Image& PhotoAsDecoded() {
    static const Image image = ReadImageFile(PhotoJpegPath()).image;
    return image;
}

// A per-pixel stage on the float frame (what it meets after any earlier
// stage that changed the picture).
Job Colour(const char* name, const char* description, Image (*stage)(const Image&)) {
    return {name, description, [stage] {
                const Image& photo = PhotoAsFloat();
                return Work([stage, &photo] { Sink() = stage(photo); });
            }};
}

// An effect on the photo as decoded, the input a pass with only this effect
// switched on hands it.
// A stage at the panel's defaults, switched on by its check box and run by
// the pipeline as a pass runs it.
Job Effect(const char* name, const char* description, const char* checkBox) {
    return {name, description, [checkBox] {
                const Image& photo = PhotoAsDecoded();
                return Work([checkBox, &photo] { Sink() = RunStage(photo, checkBox); });
            }};
}

Job Save(const char* name, const char* description, int formatIndex, const char* extension) {
    return {name, description, [formatIndex, extension] {
                static const QImage shown =
                    RunRenderPass(PhotoJpegPath(), EditSettings(), Image()).image;
                static QTemporaryDir dir;
                const QString path = dir.filePath(QStringLiteral("saved.") + extension);
                QFile::remove(path);
                return Work([formatIndex, path] {
                    if (!ImageTools::SaveImage(shown, path, formatIndex, 0.8))
                        throw std::runtime_error("save failed");
                    SavedFileBytes() = QFileInfo(path).size();
                });
            }};
}

EditSettings EveryStageOn() {
    EditSettings s;
    for (int* check :
         {&s.checkBlackWhite, &s.checkSepia, &s.checkCartoon, &s.checkOilPainting, &s.checkVignette,
          &s.checkPixellate, &s.checkHalftone, &s.checkBlur, &s.checkCircleBlur, &s.checkFocusBlur,
          &s.checkMotionBlur, &s.checkZoomBlur, &s.check3DTransform, &s.checkRotate, &s.checkSwirl,
          &s.checkGlassSphere, &s.checkTextWatermark, &s.checkImageWatermark})
        *check = 1;
    return s;
}

// The colour stages away from their rest values, and sepia.
EditSettings ColourStagesMoved() {
    EditSettings s;
    s.sliderBrightness = 0.05f;
    s.sliderExposure = 0.3f;
    s.sliderContrast = 1.2f;
    s.sliderSaturation = 1.3f;
    s.sliderGamma = 1.4f;
    s.sliderHue = 30.f;
    s.sliderRed = 0.95f;
    s.sliderBlue = 1.05f;
    s.checkSepia = 1;
    s.sliderSepiaIntensity = 0.5f;
    return s;
}

Image TextStage(Image image, const EditSettings& s) {
    return ImageTools::TextWatermarkImage(
        std::move(image), s.textFieldText, ResolveFontFamily(s.comboTextFontType),
        double(s.stepperTextFontSize), s.colorWellTextColor, s.comboTextPosition,
        double(s.stepperTextYOffset), double(s.stepperTextXOffset),
        double(s.stepperTextOpacity / 100.f), s.checkTextShadow != 0, s.checkTextStroke != 0);
}

std::vector<Job> MakeJobs() {
    std::vector<Job> jobs;
    jobs.push_back({"decode", "JPEG decode of the photo, file to 8-bit picture",
                    [] { return Work([] { Sink() = ReadImageFile(PhotoJpegPath()).image; }); }});
    jobs.push_back(
        {"pass-defaults", "render pass at the panel's defaults, file to shown QImage", [] {
             return Work([] {
                 RenderResult r = RunRenderPass(PhotoJpegPath(), EditSettings(), Image());
                 if (!r.ok()) throw std::runtime_error("pass failed");
             });
         }});
    jobs.push_back({"pass-all", "render pass with every stage on (panel defaults, a logo)", [] {
                        return Work([] {
                            RenderResult r = RunRenderPass(PhotoJpegPath(), EveryStageOn(), Logo());
                            if (!r.ok()) throw std::runtime_error("pass failed");
                        });
                    }});
    jobs.push_back({"pass-3fx", "render pass with Gaussian blur, vignette and glass sphere on", [] {
                        return Work([] {
                            EditSettings s;
                            s.checkBlur = s.checkVignette = s.checkGlassSphere = 1;
                            RenderResult r = RunRenderPass(PhotoJpegPath(), s, Image());
                            if (!r.ok()) throw std::runtime_error("pass failed");
                        });
                    }});
    jobs.push_back({"memcpy", "memcpy of the float frame (384 MB) into a touched one", [] {
                        const Image& photo = PhotoAsFloat();
                        auto target = std::make_shared<Image>(
                            Image::CreateUninitialised(photo.width(), photo.height()));
                        const std::size_t bytes = photo.pixelCount() * 4 * sizeof(float);
                        std::memset(target->row(0), 0, bytes);
                        return Work([target, &photo, bytes] {
                            std::memcpy(target->row(0), photo.row(0), bytes);
                        });
                    }});
    jobs.push_back(Colour("brightness", "brightness 0.1",
                          [](const Image& i) { return ImageTools::BrightnessImage(i, 0.1f); }));
    jobs.push_back(Colour("exposure", "exposure 0.5",
                          [](const Image& i) { return ImageTools::ExposureImage(i, 0.5f); }));
    jobs.push_back(Colour("contrast", "contrast 1.3",
                          [](const Image& i) { return ImageTools::ContrastImage(i, 1.3f); }));
    jobs.push_back(Colour("saturation", "saturation 1.4",
                          [](const Image& i) { return ImageTools::SaturationImage(i, 1.4f); }));
    jobs.push_back(Colour("gamma", "gamma 1.8",
                          [](const Image& i) { return ImageTools::GammaImage(i, 1.8f); }));
    jobs.push_back(
        Colour("hue", "hue 45", [](const Image& i) { return ImageTools::HueImage(i, 45.f); }));
    jobs.push_back(Colour("rgb", "colour balance 0.9, 1, 1.2",
                          [](const Image& i) { return ImageTools::RGBImage(i, 0.9f, 1.f, 1.2f); }));
    jobs.push_back(Colour("grayscale", "black and white",
                          [](const Image& i) { return ImageTools::GrayscaleImage(i); }));
    jobs.push_back(Colour("sepia", "sepia 0.8",
                          [](const Image& i) { return ImageTools::SepiaImage(i, 0.8f); }));
    jobs.push_back(
        Colour("colour-all", "the seven colour stages moved and sepia, as a pass runs them",
               [](const Image& i) { return RenderPipeline(i, ColourStagesMoved(), Image()); }));
    jobs.push_back(Colour("vignette-float", "vignette at its default on the float frame",
                          [](const Image& i) { return ImageTools::VignetteImage(i, 0.f); }));
    jobs.push_back({"blend", "watermark blend of a whole-frame overlay into the float frame", [] {
                        const Image& photo = PhotoAsFloat();
                        auto overlay = std::make_shared<WatermarkOverlay>();
                        overlay->canvas = QSize(photo.width(), photo.height());
                        overlay->rect = QRectF(0, 0, photo.width(), photo.height());
                        overlay->patch = QRect(0, 0, photo.width(), photo.height());
                        overlay->pixels = photo;  // its own alpha: opaque
                        auto base = std::make_shared<Image>(photo);
                        base->detach();
                        return Work([overlay, base] {
                            Sink() = ImageTools::BlendWatermark(std::move(*base), *overlay, 0.7);
                        });
                    }});
    jobs.push_back(Effect("cartoon", "cartoon", "checkCartoon"));
    jobs.push_back(Effect("oilpaint", "oil painting (Kuwahara)", "checkOilPainting"));
    jobs.push_back(Effect("vignette", "vignette", "checkVignette"));
    jobs.push_back(Effect("pixelate", "pixelate", "checkPixellate"));
    jobs.push_back(Effect("halftone", "halftone", "checkHalftone"));
    jobs.push_back(Effect("blur", "Gaussian blur", "checkBlur"));
    jobs.push_back(Effect("circleblur", "circle blur", "checkCircleBlur"));
    jobs.push_back(Effect("focusblur", "focus blur", "checkFocusBlur"));
    jobs.push_back(Effect("motionblur", "motion blur", "checkMotionBlur"));
    jobs.push_back(Effect("zoomblur", "zoom blur", "checkZoomBlur"));
    // The panel's default matrix is the identity, which returns its input:
    // a slight perspective tilt does the work instead.
    jobs.push_back(Effect("transform3d", "3D transform (slight tilt)", "check3DTransform"));
    jobs.push_back(Effect("swirl", "swirl", "checkSwirl"));
    jobs.push_back(Effect("glasssphere", "glass sphere", "checkGlassSphere"));
    jobs.push_back(Effect("rotate45", "rotation by 45 degrees", "checkRotate"));
    // The same moving effects after an earlier stage, which hands them floats.
    jobs.push_back(Colour("swirl-float", "swirl on the float frame",
                          [](const Image& i) { return ImageTools::SwirlImage(i, 0.5f, 1.f); }));
    jobs.push_back(
        Colour("glasssphere-float", "glass sphere on the float frame",
               [](const Image& i) { return ImageTools::GlassSphereImage(i, 0.25f, 0.71f); }));
    jobs.push_back(Colour("rotate45-float", "rotation by 45 degrees of the float frame",
                          [](const Image& i) { return ImageTools::RotateImage(i, 45.0); }));
    jobs.push_back({"text", "text watermark at the panel's defaults, as a pass runs it", [] {
                        auto work = std::make_shared<Image>(PhotoAsDecoded());
                        work->detach();
                        return Work(
                            [work] { Sink() = TextStage(std::move(*work), EditSettings()); });
                    }});
    jobs.push_back(Save("save-jpeg", "save as JPEG quality 80", 0, "jpg"));
    jobs.push_back(Save("save-png", "save as PNG", 5, "png"));
    jobs.push_back(Save("save-tiff", "save as TIFF", 6, "tiff"));
    jobs.push_back(Save("save-gif", "save as GIF (256 colours, dithered)", 8, "gif"));
    jobs.push_back(Save("save-jp2", "save as JPEG 2000 (factor 0.8)", 3, "jp2"));
    return jobs;
}

}  // namespace

void ForgetResult() {
    Sink() = Image();
}

qint64& SavedFileBytes() {
    static qint64 bytes = -1;
    return bytes;
}

const std::vector<Job>& AllJobs() {
    static const std::vector<Job> jobs = MakeJobs();
    return jobs;
}

}  // namespace lumetra::bench
