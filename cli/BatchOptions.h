// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of lumetra-batch, parsed into plain values.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace lumetra::batch {

struct Options {
    bool help = false;
    bool version = false;
    bool printDefaultSettings = false;

    QString settingsFile;
    QString lookName;  // a look of the LookStore, instead of a settings file
    QString logoFile;
    QString outputFolder;
    QStringList inputs;
    // Where each result goes, with {dir}, {name} and {ext} (see
    // OutputTemplate.h); empty for OUTDIR/NAME_processed.EXT.
    QString outputTemplate;
    QString baseFolder;  // what {dir} is relative to; empty: the current folder

    // Overrides of what the settings text says; unset means "as the text".
    std::optional<int> formatIndex;  // the format pop-up's index
    std::optional<int> quality;      // 1..100
    std::optional<double> width;
    std::optional<double> height;
    std::optional<bool> keepExif;

    bool overwrite = false;
    // Photos rendered at once and the kernel threads of each; unset means
    // the default of DefaultJobs.
    std::optional<int> jobs;
    std::optional<int> threads;
};

// Parses the arguments after the program's name. On a usage error returns
// nothing and says why in `error`.
std::optional<Options> ParseOptions(const QStringList& arguments, QString* error);

// The format pop-up index of an extension (jpg ... bmp, webp, avif), or -1.
int FormatIndexOfExtension(const QString& extension);

// The usage text printed by --help and after a usage error.
QString UsageText();

}  // namespace lumetra::batch
