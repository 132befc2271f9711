// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchOptions.h"

#include <cmath>

#include "cli/OutputTemplate.h"
#include "settings/SettingsFields.h"

namespace lumetra::batch {

int FormatIndexOfExtension(const QString& extension) {
    return int(FormatTitles().indexOf(extension.toUpper()));
}

QString UsageText() {
    return QStringLiteral(
        "Usage: lumetra-batch (--settings FILE | --look NAME) [options] -o OUTDIR INPUT...\n"
        "       lumetra-batch (--settings FILE | --look NAME) [options]\n"
        "                     --output-template TEMPLATE [--base DIR] INPUT...\n"
        "       lumetra-batch --print-default-settings\n"
        "\n"
        "Applies a Lumetra settings file or look to every INPUT photo and saves each result\n"
        "in OUTDIR as NAME_processed.EXT. Inputs of the same name from different\n"
        "folders never replace each other's result: the first keeps that name, later\n"
        "ones are saved as NAME_processed-2.EXT, -3, ..., and the summary lists them.\n"
        "\n"
        "Options:\n"
        "  --settings FILE         the settings file (File > Export Settings in Lumetra)\n"
        "  --look NAME             a look: one of yours, else one shipped with Lumetra\n"
        "  --logo PATH             the logo for the logo watermark\n"
        "  --format EXT            jpg, jpeg, jpe, jp2, jpx, png, tiff, tif, gif, bmp, webp or "
        "avif\n"
        "  --quality N             1 to 100, for the JPEG, JPEG 2000, WebP and AVIF formats\n"
        "  --width W, --height H   output size in pixels (with keep aspect, one is enough)\n"
        "  --keep-exif             carry the source's EXIF data and date over\n"
        "  --no-keep-exif          do not carry them over\n"
        "  --overwrite             replace output files that already exist\n"
        "  --output-template T     where each result goes: {dir} is the input's folder\n"
        "                          relative to --base, {name} its name without extension,\n"
        "                          {ext} the format's extension; folders are made as needed,\n"
        "                          and a relative T is taken inside OUTDIR when -o is given.\n"
        "                          Example: 'out/{dir}/{name}_processed.{ext}'\n"
        "  --base DIR              the folder {dir} is relative to (default: the current one);\n"
        "                          an input outside it fails\n"
        "  --jobs N                photos rendered at once (default: one per core when there\n"
        "                          are several inputs of at most 4 megapixels, else 1)\n"
        "  --threads N             threads each photo's rendering uses (default: the cores\n"
        "                          shared among the jobs)\n"
        "  -o, --output OUTDIR     the folder for the results\n"
        "  --print-default-settings  print the editor's default settings text\n"
        "  -h, --help              show this help\n"
        "  --version               show the version\n"
        "\n"
        "Exit status: 0 when every file was written, 1 when some failed, 2 for bad usage.\n");
}

namespace {

bool ParsePositive(const QString& text, double* value) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 1.0 || v > 1e6) return false;
    *value = v;
    return true;
}

}  // namespace

std::optional<Options> ParseOptions(const QStringList& arguments, QString* error) {
    Options options;
    const auto fail = [error](const QString& why) -> std::optional<Options> {
        if (error) *error = why;
        return std::nullopt;
    };
    bool onlyInputs = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (onlyInputs || !arg.startsWith(u'-') || arg == QLatin1String("-")) {
            options.inputs << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyInputs = true;
            continue;
        }
        // --name=value is the same as --name value.
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        const auto value = [&](QString* out) -> bool {
            if (inlineValue) {
                *out = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            *out = arguments.at(++i);
            return true;
        };
        QString v;
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--print-default-settings")) {
            options.printDefaultSettings = true;
        } else if (name == QLatin1String("--settings")) {
            if (!value(&options.settingsFile))
                return fail(QStringLiteral("--settings needs a file"));
        } else if (name == QLatin1String("--look")) {
            if (!value(&options.lookName) || options.lookName.isEmpty())
                return fail(QStringLiteral("--look needs a name"));
        } else if (name == QLatin1String("--output-template")) {
            if (!value(&options.outputTemplate))
                return fail(QStringLiteral("--output-template needs a template"));
            if (const QString bad = OutputTemplateError(options.outputTemplate); !bad.isEmpty())
                return fail(bad);
        } else if (name == QLatin1String("--base")) {
            if (!value(&options.baseFolder) || options.baseFolder.isEmpty())
                return fail(QStringLiteral("--base needs a folder"));
        } else if (name == QLatin1String("--logo")) {
            if (!value(&options.logoFile)) return fail(QStringLiteral("--logo needs a file"));
        } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
            if (!value(&options.outputFolder)) return fail(QStringLiteral("-o needs a folder"));
        } else if (name == QLatin1String("--format")) {
            if (!value(&v)) return fail(QStringLiteral("--format needs a format"));
            const int index = FormatIndexOfExtension(v);
            if (index < 0) return fail(QStringLiteral("unknown format '%1'").arg(v));
            options.formatIndex = index;
        } else if (name == QLatin1String("--quality")) {
            bool ok = false;
            const int q = value(&v) ? v.toInt(&ok) : 0;
            if (!ok || q < 1 || q > 100)
                return fail(QStringLiteral("--quality needs a whole number from 1 to 100"));
            options.quality = q;
        } else if (name == QLatin1String("--width") || name == QLatin1String("--height")) {
            double size = 0.0;
            if (!value(&v) || !ParsePositive(v, &size))
                return fail(
                    QStringLiteral("%1 needs a number of pixels from 1 to 1000000").arg(name));
            (name == QLatin1String("--width") ? options.width : options.height) = size;
        } else if (name == QLatin1String("--keep-exif") ||
                   name == QLatin1String("--no-keep-exif")) {
            const bool keep = name == QLatin1String("--keep-exif");
            if (options.keepExif == !keep)
                return fail(QStringLiteral("--keep-exif and --no-keep-exif exclude each other"));
            options.keepExif = keep;
        } else if (name == QLatin1String("--overwrite")) {
            options.overwrite = true;
        } else if (name == QLatin1String("--jobs") || name == QLatin1String("-j") ||
                   name == QLatin1String("--threads")) {
            bool ok = false;
            const int count = value(&v) ? v.toInt(&ok) : 0;
            if (!ok || count < 1 || count > 64)
                return fail(QStringLiteral("%1 needs a whole number from 1 to 64").arg(name));
            (name == QLatin1String("--threads") ? options.threads : options.jobs) = count;
        } else {
            return fail(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (options.help || options.version || options.printDefaultSettings) return options;
    if (options.settingsFile.isEmpty() == options.lookName.isEmpty())
        return fail(options.lookName.isEmpty()
                        ? QStringLiteral("--settings FILE or --look NAME is required")
                        : QStringLiteral("give --settings or --look, not both"));
    if (options.outputFolder.isEmpty() && options.outputTemplate.isEmpty())
        return fail(QStringLiteral("-o OUTDIR or --output-template is required"));
    if (!options.baseFolder.isEmpty() && options.outputTemplate.isEmpty())
        return fail(QStringLiteral("--base goes with --output-template"));
    if (options.inputs.isEmpty()) return fail(QStringLiteral("no input photos given"));
    return options;
}

}  // namespace lumetra::batch
