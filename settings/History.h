// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the edit history, on the controller's own fields: a bounded
// list of settings texts, the index of the current one, and a flag that
// skips the next recording once (after opening a picture or putting an old
// state back, whose pass must not record that state again).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace lumetra::history {

// Records the text `makeText` gives, unless the skip flag is set (then it
// is cleared and nothing is recorded). Texts after the current one are
// dropped first; once `current` has reached `bound` the oldest text goes
// instead, so the list holds at most bound + 1 texts. Returns true when a
// text was recorded.
bool Record(QStringList& texts, qint64& current, qint64 bound, bool& needToSave,
            const std::function<QString()>& makeText);

// Starts a new history whose only text is `text`; its first recording is
// skipped.
void Restart(QStringList& texts, qint64& current, bool& needToSave, const QString& text);

// Whether Undo and Redo have somewhere to go.
inline bool CanUndo(const QStringList& texts, qint64 current) {
    return current > 0 && current < texts.size();
}
inline bool CanRedo(const QStringList& texts, qint64 current) {
    return current >= 0 && current + 1 < texts.size();
}

}  // namespace lumetra::history
