// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/History.h"

namespace lumetra::history {

bool Record(QStringList& texts, qint64& current, qint64 bound, bool& needToSave,
            const std::function<QString()>& makeText) {
    if (!needToSave) {
        needToSave = true;
        return false;
    }
    if (current < bound) {
        while (current < texts.size() - 1) texts.removeLast();
        texts.append(makeText());
        ++current;
    } else {
        texts.append(makeText());
        texts.removeFirst();
    }
    needToSave = true;
    return true;
}

void Restart(QStringList& texts, qint64& current, bool& needToSave, const QString& text) {
    texts.clear();
    texts.append(text);
    current = 0;
    needToSave = false;
}

}  // namespace lumetra::history
