// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QFontDatabase>

#include "editor/ViewController.h"

namespace lumetra {

QString ViewController::GetTextFontType() const {
    const int index = comboTextFontType->currentIndex();
    const QString name = index >= 0 && index < FontFamilyNames().size() ? FontFamilyNames()[index]
                                                                         : QString();
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(name)) return name;
    return installed.isEmpty() ? QString() : installed.first();
}

}  // namespace lumetra
