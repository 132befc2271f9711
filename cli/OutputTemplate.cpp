// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OutputTemplate.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "files/Export.h"

namespace lumetra::batch {

namespace {

const QRegularExpression kPlaceholder(QStringLiteral("\\{([^{}]*)\\}"));

bool Known(const QString& word) {
    return word == QLatin1String("dir") || word == QLatin1String("name") ||
           word == QLatin1String("ext");
}

}  // namespace

QString OutputTemplateError(const QString& pattern) {
    if (pattern.isEmpty()) return QStringLiteral("the output template is empty");
    for (auto it = kPlaceholder.globalMatch(pattern); it.hasNext();) {
        const QString word = it.next().captured(1);
        if (!Known(word))
            return QStringLiteral(
                       "the output template holds {%1}; it knows {dir}, {name} and {ext}")
                .arg(word);
    }
    QString rest = pattern;
    rest.remove(kPlaceholder);
    if (rest.contains(u'{') || rest.contains(u'}'))
        return QStringLiteral("the output template has a brace without its partner");
    const QString fileName = pattern.mid(pattern.lastIndexOf(u'/') + 1);
    if (!fileName.contains(QLatin1String("{name}")))
        return QStringLiteral(
            "the output template's file name (after its last slash) must hold "
            "{name}, or photos of one folder would share one output");
    return QString();
}

std::optional<QString> ExpandOutputTemplate(const QString& pattern, const QString& inputPath,
                                            const QString& base, const QString& root,
                                            const QString& extension, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<QString> {
        if (error) *error = why;
        return std::nullopt;
    };
    const QFileInfo input(inputPath);
    const QString folder = QDir::cleanPath(input.absolutePath());
    const QString baseFolder = QDir::cleanPath(QDir(base).absolutePath());
    QString dir = QDir(baseFolder).relativeFilePath(folder);
    if (dir.isEmpty()) dir = QStringLiteral(".");
    if (dir == QLatin1String("..") || dir.startsWith(QLatin1String("../")) ||
        QDir::isAbsolutePath(dir))
        return fail(QStringLiteral("%1 is outside the base folder %2 (give --base)")
                        .arg(inputPath, baseFolder));
    const QString name = NameWithoutExtension(inputPath);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("%1 has no name to put in {name}").arg(inputPath));

    // One pass over the template, so replaced text is never read again.
    QString expanded;
    qsizetype from = 0;
    for (auto it = kPlaceholder.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        expanded += pattern.mid(from, match.capturedStart() - from);
        const QString word = match.captured(1);
        expanded += word == QLatin1String("dir")    ? dir
                    : word == QLatin1String("name") ? name
                                                    : extension;
        from = match.capturedEnd();
    }
    expanded += pattern.mid(from);
    if (QDir::isRelativePath(expanded)) expanded = QDir(root).absoluteFilePath(expanded);
    return PathWithExtension(QDir::cleanPath(expanded), extension);
}

}  // namespace lumetra::batch
