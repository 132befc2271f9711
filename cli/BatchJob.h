// SPDX-License-Identifier: GPL-3.0-or-later
// One photo of a batch: read as the editor reads it, rendered by the same
// pipeline with the settings file's values, saved by the same saver.
#pragma once

#include <QString>

#include "cli/BatchOptions.h"
#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra::batch {

// What every photo of a batch shares.
struct BatchPlan {
    EditSettings settings;  // with the command line's overrides applied
    Image logo;
    QString outputFolder;    // absolute; empty with a template and no -o
    QString outputTemplate;  // see OutputTemplate.h
    QString baseFolder;      // absolute
    bool overwrite = false;
    std::optional<double> width;
    std::optional<double> height;
    QStringList inputs;  // absolute paths, to refuse writing over one of them
    // Where each input's result goes, in the inputs' order (PlanOutputPaths):
    // no two inputs of the batch ever write the same file. An input that
    // has no output has its reason in outputErrors, at the same place.
    QStringList outputs;
    QStringList outputErrors;
};

// Builds the plan from the options: reads the settings file or the look and
// the logo. On failure says why in `error`.

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
//
// With an output template, the template names each output and nothing is
// renamed: an input whose output an earlier input of the batch already
// takes (a/x.jpg and a/x.png under '{dir}/{name}.{ext}'), or that the
// template cannot name, gets an error instead, and fails.
QStringList PlanOutputPaths(const BatchPlan& plan, QStringList* errors = nullptr);

// Photos rendered at once when --jobs is not given: one per core (at most
// one per input) when there are several inputs and the largest has at most
// kSmallPhotoPixels, since small photos leave cores idle in the stages that
// run on one thread (reading, encoding, starting); otherwise 1, and the one
// photo's kernels take every core. A size that cannot be told counts as
// large.
inline constexpr qint64 kSmallPhotoPixels = 4'000'000;
int DefaultJobs(qsizetype inputs, qint64 largestPixels, int cores);
// The pixel count of the largest input as its header tells, looking no
// further once one exceeds `enough`; -1 when some size cannot be told.
qint64 LargestPixelCount(const QStringList& inputs, qint64 enough);

}  // namespace lumetra::batch
