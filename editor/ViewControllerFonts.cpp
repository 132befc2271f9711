// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>

#include "editor/ViewController.h"
#include "render/FontFamilies.h"

namespace lumetra {

QString ViewController::GetTextFontType() const {
    return ResolveFontFamily(comboTextFontType->currentIndex());
}

}  // namespace lumetra
