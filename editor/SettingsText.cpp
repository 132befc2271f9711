// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/SettingsText.h"

namespace lumetra {
namespace {

bool IsNewline(char16_t c) {
    return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

}  // namespace

QStringList SplitSettingsLines(const QString& text) {
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsNewline(text.at(i).unicode())) {
            pieces << text.mid(start, i - start);
            start = i + 1;
        }
    }
    pieces << text.mid(start);
    return pieces;
}

}  // namespace lumetra
