// SPDX-License-Identifier: GPL-3.0-or-later
// One render pass as the worker runs it: read the source file afresh, run
// the pipeline, and hand back the result as the 8-bit picture the preview
// shows and saving writes. Nothing here touches a widget.
#pragma once

#include <QImage>
#include <QString>

#include "editor/EditSettings.h"
#include "render/Image.h"

namespace lumetra {

struct RenderResult {
    QImage image;    // null when the pass failed
    QString error;   // why it failed, for the status bar
    QString damage;  // the source file is damaged: what is wrong with it
    bool ok() const { return !image.isNull(); }
};

RenderResult RunRenderPass(const QString& sourcePath, const EditSettings& settings,
                           const Image& logo);

}  // namespace lumetra
