// SPDX-License-Identifier: GPL-3.0-or-later
// One photo of a batch: read as the editor reads it, rendered by the same
// pipeline with the settings file's values, saved by the same saver.
#pragma once

#include <QString>

#include "cli/BatchOptions.h"
#include "editor/EditSettings.h"
#include "render/Image.h"

namespace lumetra::batch {

// What every photo of a batch shares.
struct BatchPlan {
    EditSettings settings;  // with the command line's overrides applied
    Image logo;
    QString outputFolder;
    bool overwrite = false;
    std::optional<double> width;
    std::optional<double> height;
    QStringList inputs;  // absolute paths, to refuse writing over one of them
};

// Builds the plan from the options: reads the settings file and the logo.
// On failure says why in `error`.
std::optional<BatchPlan> MakePlan(const Options& options, QString* error);

struct JobResult {
    bool ok = false;       // the output was written
    bool damaged = false;  // ... from a damaged source, as much as could be read
    QString outputPath;
    QString message;  // why it failed, or what is wrong with a damaged source
};

// Processes one input photo.
JobResult ProcessPhoto(const BatchPlan& plan, const QString& inputPath);

// Where the result of an input goes: OUTDIR/NAME_processed.EXT.
QString OutputPathFor(const BatchPlan& plan, const QString& inputPath);

}  // namespace lumetra::batch
