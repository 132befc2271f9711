// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/Export.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

#include "files/ImageFiles.h"
#include "files/Metadata.h"
#include "settings/SettingsFields.h"

namespace lumetra {

namespace {
// The largest side a saved picture may have (the JPEG limit is 65,535).
constexpr double kMaxOutputSide = 1 << 20;
}  // namespace

QString NameWithoutExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString FormatExtension(int formatIndex) {
    return FormatTitles().value(formatIndex).toLower();
}

QString ProcessedFileName(const QString& sourceName, const QString& extension, int copy) {
    const QString suffix =
        copy > 1 ? QStringLiteral("_processed-%1.").arg(copy) : QStringLiteral("_processed.");
    return sourceName + suffix + extension;
}

QString PathWithExtension(const QString& path, const QString& extension) {
    if (extension.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.mid(dot + 1).compare(extension, Qt::CaseInsensitive) == 0) return path;
    return path + (path.endsWith(u'.') ? QString() : QStringLiteral(".")) + extension;
}

float OutputAspectRatio(QSize shown, QSizeF sourceSize) {
    if (!(sourceSize.width() > 0) || !(sourceSize.height() > 0)) return 1.f;
    return float(double(shown.width()) / double(shown.height()));
}

std::optional<QString> KeepAspectPartner(float typed, float ratio, bool fromWidth) {
    const float partner = fromWidth ? typed / ratio : typed * ratio;
    const double rounded = std::round(double(partner));
    if (!std::isfinite(rounded) || rounded < -9.2e18 || rounded > 9.2e18) return std::nullopt;
    return QString::number(static_cast<long long>(rounded));
}

void KeepAspectStep(QString* width, QString* height, float ratio, bool fromWidth) {
    const float typed = TextFieldNumber(fromWidth ? *width : *height);
    if (const std::optional<QString> partner = KeepAspectPartner(typed, ratio, fromWidth))
        *(fromWidth ? height : width) = *partner;
}

QImage DrawAtOutputSize(const QImage& shown, double width, double height) {
    if (shown.isNull() || !(width >= 1.0) || !(height >= 1.0) || width > kMaxOutputSide ||
        height > kMaxOutputSide)
        return QImage();
    const QSize size{int(width), int(height)};
    if (size == shown.size()) return shown;
    // Scaled premultiplied, so transparent pixels lend no colour to their
    // neighbours, then back to straight alpha for the encoders.
    const bool alpha = shown.hasAlphaChannel();
    const QImage source =
        shown.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QImage scaled = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) return QImage();
    return alpha ? scaled.convertToFormat(QImage::Format_ARGB32) : scaled;
}

ExportResult ExportPicture(const ExportRequest& request, const SaveFunction& save) {
    ExportResult result;
    const QFileInfo target(request.path);
    // Saving over the source would replace the properties the carry-over
    // is asked to keep: take a copy of the source file first.
    QTemporaryDir keptSource;
    QString propertiesFrom = request.sourcePath;
    QDateTime sourceDate;
    const QFileInfo source(request.sourcePath);
    const bool overSource = request.keepExif && target.exists() && source.exists() &&
                            target.canonicalFilePath() == source.canonicalFilePath();
    if (overSource && keptSource.isValid()) {
        const QString copy = keptSource.filePath(QStringLiteral("source"));
        if (QFile::copy(request.sourcePath, copy)) {
            propertiesFrom = copy;
            sourceDate = ImageTools::ImageCreationDateWithPath(request.sourcePath);
        }
    }

    try {
        const QImage picture = DrawAtOutputSize(request.picture, request.width, request.height);
        result.written = picture.size();
        const SaveFunction& encode = save ? save : SaveFunction(&ImageTools::SaveImage);
        result.saved = !picture.isNull() &&
                       encode(picture, request.path, request.formatIndex, request.quality);
    } catch (...) {
        result.saved = false;  // out of memory: a failed save
    }

    if (result.saved && request.keepExif) {
        if (propertiesFrom == request.sourcePath) {
            ImageTools::ChangeImageExifWithOriginalImagePath(request.sourcePath, request.path);
        } else if (CopyImageProperties(propertiesFrom, request.path) != PropertiesCopy::Failed &&
                   !SetFileDate(request.path, sourceDate)) {
            std::fputs("ERROR\n", stdout);
            std::fflush(stdout);
        }
    }
    return result;
}

}  // namespace lumetra
