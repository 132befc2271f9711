// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history: every completed pass and every export change records the
// panel as a settings text; Undo and Redo put an earlier or later text back.
#include <QLabel>
#include <QComboBox>

#include "editor/History.h"
#include "editor/SettingsText.h"
#include "editor/ViewController.h"

namespace lumetra {

void ViewController::SaveState() { stateImagesPath.append(WriteSettingsText(CurrentSettings())); }

void ViewController::SaveCurrentState() {
    history::Record(stateImagesPath, currenState, numberOfStates, needToSaveState,
                    [this] { return WriteSettingsText(CurrentSettings()); });
    emit historyChanged();
}

void ViewController::LoadStateWithData(const QString& text) {
    std::optional<EditSettings> settings = ReadSettingsText(text);
    if (!settings) return;  // a text that is not a whole, valid settings text changes nothing
    ClampToFieldRanges(*settings);  // what the controls would make of it, as lumetra-batch does
    ApplySettings(*settings);
    sliderQuality->setEnabled(FormatTakesQuality(comboFormat->currentIndex()));
    labelQuality->setText(QualityLabelText(sliderQuality->floatValue()));
    needToSaveState = false;
    UpdateImageEffect();
}

bool ViewController::CanUndo() const { return history::CanUndo(stateImagesPath, currenState); }
bool ViewController::CanRedo() const { return history::CanRedo(stateImagesPath, currenState); }

void ViewController::OnUndo() {
    if (!CanUndo()) return;
    --currenState;
    LoadStateWithData(stateImagesPath.at(currenState));
    emit historyChanged();
}

void ViewController::OnRedo() {
    if (!CanRedo()) return;
    ++currenState;
    LoadStateWithData(stateImagesPath.at(currenState));
    emit historyChanged();
}

}  // namespace lumetra
