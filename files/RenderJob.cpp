// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/RenderJob.h"
#include "render/Parallel.h"

#include <new>
#include <utility>

#include "files/ImageReader.h"
#include "render/RenderPipeline.h"

namespace lumetra {

RenderResult RunRenderPass(const QString& sourcePath, const EditSettings& settings,
                           const Image& logo) {
    RenderResult result;
    try {
        ReadResult source = ReadImageFile(sourcePath);
        if (!source.ok()) {
            result.error = source.error;
            result.unreadable = true;
            return result;
        }
        result.damage = source.damage;
        const Image finished = RenderPipeline(std::move(source.image), settings, logo);
        if (StopRequested()) {
            result.error = QStringLiteral("The pass was stopped.");
            return result;
        }
        source = ReadResult();  // let the source go before the 8-bit copy is made
        result.image = finished.toQImage();
        if (result.image.isNull())
            result.error = QStringLiteral("The result could not be rendered.");
    } catch (const std::bad_alloc&) {
        result = RenderResult();
        result.error = QStringLiteral("Not enough memory to render the image.");
    }
    return result;
}

}  // namespace lumetra
