// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history: every completed pass and every export change records the
// panel as a settings text; Undo and Redo put an earlier or later text back.
#include <QComboBox>
#include <QLabel>

#include "editor/ViewController.h"
#include "settings/History.h"
#include "settings/SettingsText.h"

namespace lumetra {

void ViewController::SaveState() {
    stateImagesPath.append(WriteSettingsText(CurrentSettings()));
}

void ViewController::SaveCurrentState() {
    history::Record(stateImagesPath, currenState, numberOfStates, needToSaveState,
                    [this] { return WriteSettingsText(CurrentSettings()); });
    emit historyChanged();
}

void ViewController::RecordPassState() {
    // The skip left by opening a picture or by stepping through the history.
    if (!needToSaveState) {
        needToSaveState = true;
        emit historyChanged();
        return;
    }
    // What the current state already holds is not recorded twice.
    if (currenState >= 0 && currenState < stateImagesPath.size() &&
        stateImagesPath.at(currenState) == WriteSettingsText(CurrentSettings()))
        return;
    SaveCurrentState();
}

void ViewController::NoteUserChange() {
    needToSaveState = true;
}

bool ViewController::ApplyStateText(const QString& text, bool record) {
    std::optional<EditSettings> settings = ReadSettingsText(text);
    if (!settings) return false;  // a text that is not a whole, valid settings text changes nothing
    ClampToFieldRanges(*settings);  // what the controls would make of it, as lumetra-batch does
    ApplySettings(*settings);
    sliderQuality->setEnabled(FormatTakesQuality(comboFormat->currentIndex()));
    labelQuality->setText(QualityLabelText(sliderQuality->floatValue()));
    needToSaveState = record;
    UpdateImageEffect();
    // With no picture there is no pass whose recording is to be skipped: the
    // skip must not linger and swallow the user's next change.
    if (!updating()) needToSaveState = true;
    return true;
}

void ViewController::LoadStateWithData(const QString& text) {
    ApplyStateText(text, false);
}

bool ViewController::CanUndo() const {
    return history::CanUndo(stateImagesPath, currenState);
}
bool ViewController::CanRedo() const {
    return history::CanRedo(stateImagesPath, currenState);
}

void ViewController::StepHistory(int step) {
    // A change whose pass is still running has no state yet: it gets one
    // now, so that stepping goes from it and Redo can bring it back.
    if (updating() && needToSaveState && currenState >= 0 && currenState < stateImagesPath.size() &&
        stateImagesPath.at(currenState) != WriteSettingsText(CurrentSettings()))
        SaveCurrentState();
    const qint64 target = currenState + step;
    if (target < 0 || target >= stateImagesPath.size()) return;
    // A state that cannot be read leaves the history where it is.
    if (!ReadSettingsText(stateImagesPath.at(target))) return;
    currenState = target;
    LoadStateWithData(stateImagesPath.at(currenState));
    emit historyChanged();
}

void ViewController::OnUndo() {
    if (CanUndo()) StepHistory(-1);
}

void ViewController::OnRedo() {
    if (CanRedo()) StepHistory(+1);
}

}  // namespace lumetra
