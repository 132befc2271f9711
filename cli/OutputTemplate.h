// SPDX-License-Identifier: GPL-3.0-or-later
// Output names from a template, so that a tree of photos is written as a
// tree: {dir} is the input's folder relative to a base folder, {name} its
// file name without the extension, {ext} the output format's extension.
#pragma once

#include <QString>
#include <optional>

namespace lumetra::batch {

// Why a template cannot be used, or an empty string. Braces may only hold
// dir, name or ext, and the last part of the path (the file's own name)
// must hold {name}, so that photos of one folder never share an output.
QString OutputTemplateError(const QString& pattern);

// The output path of one input: the template with its placeholders
// replaced (each once: a name holding "{ext}" stays as it is), taken
// inside `root` when it is relative, cleaned of "." and "..", and given the
// format's extension when it does not end with it (out.png for "jpg" gives
// out.png.jpg, as the editor's save does). Paths are compared as written,
// made absolute; links are not followed. Nothing, with the reason in
// `error`, when the input lies outside `base` (its {dir} would climb out of
// the tree with "..") or its name is "." or "..".
std::optional<QString> ExpandOutputTemplate(const QString& pattern, const QString& inputPath,
                                            const QString& base, const QString& root,
                                            const QString& extension, QString* error);

}  // namespace lumetra::batch
