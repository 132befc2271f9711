// SPDX-License-Identifier: GPL-3.0-or-later
// One render pass: read the source file afresh, run
// the pipeline, and hand back the result as the 8-bit picture the preview
// shows and saving writes. Nothing here touches a widget.
#pragma once

#include <QImage>
#include <QString>

#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra {

struct RenderResult {
    QImage image;             // null when the pass failed
    QString error;            // why it failed, in words a user understands
    bool unreadable = false;  // the failure was reading the source file
    QString damage;           // the source file is damaged: what is wrong with it
    // The result reduced to the size the view shows it at fit zoom, made
    // beside it so the window never has to shrink the full picture (null:
    // none was made).
    QImage display;
    bool ok() const { return !image.isNull(); }
};

// Reads the source file afresh and runs the pipeline on it; the editor's
// passes and lumetra-batch render through here. Never throws.
RenderResult RunRenderPass(const QString& sourcePath, const EditSettings& settings,
                           const Image& logo);

}  // namespace lumetra
