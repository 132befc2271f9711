// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchJob.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <algorithm>

#include "cli/OutputTemplate.h"
#include "files/Export.h"
#include "files/ImageReader.h"
#include "files/RenderJob.h"
#include "settings/Looks.h"
#include "settings/SettingsFields.h"
#include "settings/SettingsFile.h"

namespace lumetra::batch {

std::optional<BatchPlan> MakePlan(const Options& options, QString* error) {
    BatchPlan plan;
    std::optional<SettingsFile> file;
    if (!options.lookName.isEmpty()) {
        const LookStore store = LookStore::Standard();
        const std::optional<Look> look = store.Find(options.lookName);
        if (!look) {
            QStringList names;
            for (const Look& known : store.List()) names << known.name;
            *error = QStringLiteral("there is no look named '%1' (the looks: %2)")
                         .arg(options.lookName, names.isEmpty() ? QStringLiteral("none")
                                                                : names.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        if (!look->ok()) {
            *error = QStringLiteral("the look '%1' (%2) cannot be read: %3")
                         .arg(look->name, look->path, look->error);
            return std::nullopt;
        }
        file = look->file;
    } else {
        file = ReadSettingsFile(options.settingsFile, error);
        if (!file) return std::nullopt;
    }
    plan.settings = file->settings;
    if (options.formatIndex) plan.settings.comboFormat = *options.formatIndex;
    if (options.quality) plan.settings.sliderQuality = float(*options.quality);
    if (options.keepExif) plan.settings.checkKeepExifInfo = *options.keepExif ? 1 : 0;
    // Each value as the editor's controls would hold it, so that a file edited
    // by hand renders here as it does in the editor. The --quality override
    // (1 to 100) already lies within the quality slider's range; a quality the
    // file sets beyond it is held to it, as the slider holds it.
    ClampToFieldRanges(plan.settings);
    if (!FormatTitles().value(plan.settings.comboFormat).size()) {
        *error = QStringLiteral("the settings file chooses no output format; give --format");
        return std::nullopt;
    }

    if (!options.logoFile.isEmpty()) {
        const ReadResult logo = ReadImageFile(options.logoFile);
        if (!logo.ok()) {
            *error =
                QStringLiteral("cannot read the logo %1: %2").arg(options.logoFile, logo.error);
            return std::nullopt;
        }
        plan.logo = logo.image;
    }

    if (!options.outputFolder.isEmpty()) {
        const QFileInfo folder(options.outputFolder);
        if (!folder.isDir() && !QDir().mkpath(options.outputFolder)) {
            *error = QStringLiteral("cannot create the output folder %1").arg(options.outputFolder);
            return std::nullopt;
        }
        if (!QFileInfo(options.outputFolder).isDir() ||
            !QFileInfo(options.outputFolder).isWritable()) {
            *error = QStringLiteral("the output folder %1 is not a writable folder")
                         .arg(options.outputFolder);
            return std::nullopt;
        }
        plan.outputFolder = QFileInfo(options.outputFolder).absoluteFilePath();
    }
    plan.outputTemplate = options.outputTemplate;
    plan.baseFolder = QDir(options.baseFolder.isEmpty() ? QDir::currentPath() : options.baseFolder)
                          .absolutePath();
    plan.overwrite = options.overwrite;
    plan.width = options.width;
    plan.height = options.height;
    for (const QString& input : options.inputs) plan.inputs << QFileInfo(input).absoluteFilePath();
    plan.outputs = PlanOutputPaths(plan, &plan.outputErrors);
    return plan;
}

QString OutputPathFor(const BatchPlan& plan, const QString& inputPath, int copy) {
    return QDir(plan.outputFolder)
        .filePath(ProcessedFileName(NameWithoutExtension(inputPath),
                                    FormatExtension(plan.settings.comboFormat), copy));
}

QStringList PlanOutputPaths(const BatchPlan& plan, QStringList* errors) {
    // Every name a path goes by: its absolute path, and its canonical one
    // (the file's where it exists, else its folder's with the file's name).
    const auto namesOf = [](const QString& path) {
        const QFileInfo info(path);
        QStringList names{QDir::cleanPath(info.absoluteFilePath())};
        QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty()) {
            const QString folder = info.absoluteDir().canonicalPath();
            if (!folder.isEmpty()) canonical = folder + u'/' + info.fileName();
        }
        if (!canonical.isEmpty() && canonical != names.first()) names << canonical;
        return names;
    };
    QSet<QString> inputNames;
    for (const QString& input : plan.inputs)
        for (const QString& name : namesOf(input)) inputNames.insert(name);
    QSet<QString> taken;  // by the outputs planned so far
    const auto takenBy = [](const QSet<QString>& set, const QStringList& names) {
        for (const QString& name : names)
            if (set.contains(name)) return true;
        return false;
    };

    QStringList outputs;
    if (errors) *errors = QStringList(plan.inputs.size(), QString());
    if (!plan.outputTemplate.isEmpty()) {
        QHash<QString, QString> takenByInput;
        const QString extension = FormatExtension(plan.settings.comboFormat);
        for (qsizetype i = 0; i < plan.inputs.size(); ++i) {
            QString why;
            const std::optional<QString> output =
                ExpandOutputTemplate(plan.outputTemplate, plan.inputs.at(i), plan.baseFolder,
                                     plan.outputFolder, extension, &why);
            outputs << output.value_or(QString());
            if (output) {
                const QStringList names = namesOf(*output);
                for (const QString& name : names) {
                    if (const auto earlier = takenByInput.constFind(name);
                        earlier != takenByInput.cend()) {
                        why = QStringLiteral("its output %1 is also %2's").arg(*output, *earlier);
                        break;
                    }
                }
                if (why.isEmpty())
                    for (const QString& name : names) takenByInput.insert(name, plan.inputs.at(i));
            }
            if (errors) (*errors)[i] = why;
        }
        return outputs;
    }
    for (const QString& input : plan.inputs) {
        QString output = OutputPathFor(plan, input);
        QStringList names = namesOf(output);
        // The first of its name keeps it, even where an input takes it (the
        // job then refuses to write over that input, as it always has); a
        // later one takes the first copy number free of outputs and inputs.
        if (takenBy(taken, names)) {
            for (int copy = 2;; ++copy) {
                output = OutputPathFor(plan, input, copy);
                names = namesOf(output);
                if (!takenBy(taken, names) && !takenBy(inputNames, names)) break;
            }
        }
        for (const QString& name : names) taken.insert(name);
        outputs << output;
    }
    return outputs;
}

JobResult ProcessPhoto(const BatchPlan& plan, const QString& inputPath, const QString& outputPath) {
    JobResult result;
    result.outputPath = outputPath;
    const QFileInfo output(result.outputPath);
    // Never write over a photo of the batch, whatever --overwrite says.
    for (const QString& input : plan.inputs) {
        const QFileInfo in(input);
        if (in.absoluteFilePath() == output.absoluteFilePath() ||
            (output.exists() && in.canonicalFilePath() == output.canonicalFilePath())) {
            result.message =
                QStringLiteral("the output %1 is one of the inputs").arg(result.outputPath);
            return result;
        }
    }
    if (output.exists() && !plan.overwrite) {
        result.message = QStringLiteral("%1 already exists (give --overwrite to replace it)")
                             .arg(result.outputPath);
        return result;
    }

    // Under a template, the output's folders are made as they are needed.
    if (!output.absoluteDir().exists() && !QDir().mkpath(output.absolutePath())) {
        result.message = QStringLiteral("cannot create the folder %1").arg(output.absolutePath());
        return result;
    }

    const EditSettings& s = plan.settings;
    const RenderResult rendered = RunRenderPass(inputPath, s, plan.logo);
    if (rendered.unreadable) {
        result.message = QStringLiteral("cannot read %1: %2").arg(inputPath, rendered.error);
        return result;
    }
    if (!rendered.ok()) {
        result.message =
            QStringLiteral("%1 could not be rendered: %2").arg(inputPath, rendered.error);
        return result;
    }
    if (!rendered.damage.isEmpty()) {
        result.damaged = true;
        result.message = QStringLiteral("%1 is damaged (%2)").arg(inputPath, rendered.damage);
    }

    // The output size as the editor works it out: the result's size unless
    // a size is given. With keep aspect, a given width sets the height and a
    // given height the width, as typing them would; then the save's own two
    // steps run, width then height, as in the editor.
    const QSize size = rendered.image.size();
    QString width =
        plan.width ? QString::number(*plan.width, 'g', 17) : QString::number(size.width());
    QString height =
        plan.height ? QString::number(*plan.height, 'g', 17) : QString::number(size.height());
    if (IsOn(s.checkKeepAspect)) {
        const float ratio = OutputAspectRatio(size, QSizeF(size));
        if (plan.width) KeepAspectStep(&width, &height, ratio, true);
        if (plan.height) KeepAspectStep(&width, &height, ratio, false);
        KeepAspectStep(&width, &height, ratio, true);
        KeepAspectStep(&width, &height, ratio, false);
    }
    ExportRequest request;
    request.picture = rendered.image;
    request.width = double(TextFieldNumber(width));
    request.height = double(TextFieldNumber(height));
    request.path = result.outputPath;
    request.formatIndex = s.comboFormat;
    request.quality = double(s.sliderQuality / 100.f);
    request.keepExif = IsOn(s.checkKeepExifInfo);
    request.sourcePath = inputPath;
    if (!ExportPicture(request).saved) {
        result.message = QStringLiteral("could not save %1").arg(result.outputPath);
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace lumetra::batch

namespace lumetra::batch {

int DefaultJobs(qsizetype inputs, qint64 largestPixels, int cores) {
    if (inputs < 2 || cores < 2 || largestPixels < 0 || largestPixels > kSmallPhotoPixels) return 1;
    return int(std::min<qsizetype>(inputs, cores));
}

qint64 LargestPixelCount(const QStringList& inputs, qint64 enough) {
    qint64 largest = 0;
    for (const QString& input : inputs) {
        const QSize size = QImageReader(input).size();
        if (!size.isValid()) return -1;
        largest = std::max(largest, qint64(size.width()) * size.height());
        if (largest > enough) break;
    }
    return largest;
}

}  // namespace lumetra::batch
