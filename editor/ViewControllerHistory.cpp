// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history of settings texts.
#include "editor/ViewController.h"

namespace lumetra {

void ViewController::SaveCurrentState() {
    // Recording joins with the settings text; until then every completed
    // pass and export change only uses up the skip the opening asked for.
    if (!needToSaveState) needToSaveState = true;
}

}  // namespace lumetra
