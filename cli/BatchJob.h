// SPDX-License-Identifier: GPL-3.0-or-later
// One photo of a batch: read as the editor reads it, rendered by the same
// pipeline with the settings file's values, saved by the same saver.
#pragma once

#include <QString>

#include "cli/BatchOptions.h"
#include "settings/EditSettings.h"
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
    // Where each input's result goes, in the inputs' order (PlanOutputPaths):
    // no two inputs of the batch ever write the same file.
    QStringList outputs;
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

// Processes one input photo into its planned output.
JobResult ProcessPhoto(const BatchPlan& plan, const QString& inputPath, const QString& outputPath);

// The name an input's result takes: OUTDIR/NAME_processed.EXT, or for a
// later copy (copy 2, 3, ...) OUTDIR/NAME_processed-COPY.EXT.
QString OutputPathFor(const BatchPlan& plan, const QString& inputPath, int copy = 1);

// The outputs of all the plan's inputs, in their order, decided before any
// is written: inputs with the same name from different folders would
// otherwise write one file, the later result silently replacing the earlier.
// The first keeps its name; each later one takes the first of -2, -3, ...
// that no earlier output and no input of the batch takes. Paths compare as
// the file system compares them: case-sensitively, as absolute paths and,
// where they exist, as canonical ones (links followed).
QStringList PlanOutputPaths(const BatchPlan& plan);

}  // namespace lumetra::batch
