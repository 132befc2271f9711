// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history: its bound, the skip-once rule, forward states, and Undo
// and Redo on the real controller.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "settings/History.h"
#include "settings/SettingsText.h"
#include "files/CustomImageView.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

struct Fields {
    QStringList texts;
    qint64 current = -1;
    bool needToSave = true;
    int made = 0;
    bool Record(const QString& text) {
        return history::Record(texts, current, 50, needToSave, [&] {
            ++made;
            return text;
        });
    }
};

TEST(History, KeepsFiftyOneTextsAndDropsTheOldest) {
    Fields h;
    h.Record("0");
    ASSERT_EQ(h.current, 0);
    for (int i = 1; i <= 50; ++i) h.Record(QString::number(i));
    EXPECT_EQ(h.texts.size(), 51);
    EXPECT_EQ(h.current, 50);
    h.Record("51");
    EXPECT_EQ(h.texts.size(), 51);
    EXPECT_EQ(h.current, 50);
    EXPECT_EQ(h.texts.first(), "1");
    EXPECT_EQ(h.texts.last(), "51");
}

TEST(History, ARecordingAfterStepsBackDropsTheForwardStates) {
    Fields h;
    for (int i = 0; i < 10; ++i) h.Record(QString::number(i));
    h.current = 3;
    h.Record("new");
    EXPECT_EQ(h.texts, QStringList({"0", "1", "2", "3", "new"}));
    EXPECT_EQ(h.current, 4);
}

TEST(History, SkipsOneRecordingWhenAskedAndRecordsRepeats) {
    Fields h;
    h.needToSave = false;
    EXPECT_FALSE(h.Record("skipped"));
    EXPECT_TRUE(h.needToSave);
    EXPECT_EQ(h.made, 0) << "a skipped recording must not even build its text";
    EXPECT_TRUE(h.Record("a"));
    EXPECT_TRUE(h.Record("a"));
    EXPECT_EQ(h.texts, QStringList({"a", "a"}));
    history::Restart(h.texts, h.current, h.needToSave, "start");
    EXPECT_EQ(h.texts, QStringList({"start"}));
    EXPECT_EQ(h.current, 0);
    EXPECT_FALSE(h.needToSave);
}

class EditorHistory : public ::testing::Test {
protected:
    void SetUp() override {
        path = test::WriteImageFile(dir, "p.png", test::PhotoLike(30, 20));
        ASSERT_FALSE(path.isEmpty());
    }
    QTemporaryDir dir;
    QString path;
    test::Editor editor;
};

TEST_F(EditorHistory, OpeningStartsWithOneStateAndTheFirstPassAddsNone) {
    ViewController& vc = *editor.controller;
    vc.comboFormat->setCurrentIndex(5);
    vc.OnFormatSelected();  // recorded before any picture is open
    EXPECT_EQ(vc.stateImagesPath.size(), 1);
    EXPECT_FALSE(vc.CanUndo());
    EXPECT_FALSE(vc.CanRedo());
    ASSERT_TRUE(editor.Open(path));
    EXPECT_EQ(vc.stateImagesPath.size(), 1);
    EXPECT_EQ(vc.currenState, 0);
    EXPECT_TRUE(vc.needToSaveState);
    // The state holds the panel as it was at opening, before the pass wrote
    // the picture's size into the size fields.
    const std::optional<EditSettings> first = ReadSettingsText(vc.stateImagesPath.first());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->comboFormat, 5);
    EXPECT_EQ(first->textFieldWidth, "0");
    EXPECT_EQ(vc.textFieldWidth->text(), "30");
    EXPECT_FALSE(vc.CanUndo());
}

TEST_F(EditorHistory, UndoAndRedoPutTheSettingsBackWithoutRecording) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    const EditSettings original = vc.CurrentSettings();
    vc.sliderBrightness->moveTo(0.25f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    vc.checkSepia->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    ASSERT_EQ(vc.stateImagesPath.size(), 3);
    const EditSettings last = vc.CurrentSettings();

    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    vc.OnUndo();
    vc.OnUndo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_GE(started.count(), 1);
    EXPECT_EQ(vc.currenState, 0);
    EXPECT_EQ(vc.stateImagesPath.size(), 3) << "putting a state back must not record it";
    EXPECT_TRUE(vc.CurrentSettings() == original);
    EXPECT_FALSE(vc.CanUndo());
    EXPECT_TRUE(vc.CanRedo());
    vc.OnUndo();  // at the start: nothing happens
    EXPECT_EQ(vc.currenState, 0);

    vc.OnRedo();
    vc.OnRedo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.currenState, 2);
    EXPECT_TRUE(vc.CurrentSettings() == last);
    EXPECT_FALSE(vc.CanRedo());

    // A change after stepping back drops the forward states.
    vc.OnUndo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    vc.sliderGamma->moveTo(2.f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.stateImagesPath.size(), 3);
    EXPECT_EQ(vc.currenState, 2);
    EXPECT_EQ(vc.CurrentSettings().checkSepia, 0);
}

// The skip left by opening or by Undo never swallows a change of the
// user's: each sequence ends with every change recorded once and Undo and
// Redo going one step at a time.
TEST_F(EditorHistory, AChangeDuringTheFirstPassGetsAStateOfItsOwn) {
    test::GatedRender gate;
    ViewController& vc = *editor.controller;
    vc.setRenderFunction(gate.Function());
    vc.LoadOriginalImage(path);
    vc.sliderExposure->moveTo(0.5f);  // arrives while the first pass runs
    gate.Release(2);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(gate.started.load(), 2);
    ASSERT_EQ(vc.stateImagesPath.size(), 2);
    EXPECT_EQ(ReadSettingsText(vc.stateImagesPath.last())->sliderExposure, 0.5f);
    gate.Release(10);
    vc.OnUndo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.sliderExposure->floatValue(), 0.f);
}

TEST_F(EditorHistory, APassOfWhatTheCurrentStateHoldsRecordsNothing) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->moveTo(0.1f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    const QStringList states = vc.stateImagesPath;
    vc.checkVignette->click();
    vc.checkVignette->click();  // back as it was before the pass came
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.stateImagesPath, states);
}

TEST_F(EditorHistory, UndoWhileAChangeRendersStepsBackFromThatChange) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->moveTo(0.1f);
    ASSERT_TRUE(editor.WaitUntilIdle());  // states: open, 0.1
    test::GatedRender gate;
    vc.setRenderFunction(gate.Function());
    vc.sliderBrightness->moveTo(0.2f);  // its pass is held
    vc.OnUndo();
    gate.Release(10);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.sliderBrightness->floatValue(), 0.1f) << "Undo went back more than one step";
    ASSERT_EQ(vc.stateImagesPath.size(), 3);
    vc.OnRedo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.sliderBrightness->floatValue(), 0.2f) << "the pending change cannot be redone";
}

TEST_F(EditorHistory, AChangeWhileUndoRendersIsRecorded) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->moveTo(0.1f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    test::GatedRender gate;
    vc.setRenderFunction(gate.Function());
    vc.OnUndo();                     // its pass is held
    vc.sliderGamma->moveTo(2.f);     // the user's change meanwhile
    gate.Release(10);
    ASSERT_TRUE(editor.WaitUntilIdle());
    ASSERT_EQ(vc.stateImagesPath.size(), 2);
    EXPECT_EQ(ReadSettingsText(vc.stateImagesPath.last())->sliderGamma, 2.f);
    EXPECT_FALSE(vc.CanRedo()) << "Redo would silently revert the change";
}

TEST_F(EditorHistory, WithNoPictureUndoLeavesNoSkipBehind) {
    ViewController& vc = *editor.controller;
    vc.comboFormat->setCurrentIndex(5);
    vc.OnFormatSelected();
    vc.comboFormat->setCurrentIndex(6);
    vc.OnFormatSelected();
    vc.OnUndo();
    EXPECT_EQ(vc.comboFormat->currentIndex(), 5);
    vc.comboFormat->setCurrentIndex(8);
    vc.OnFormatSelected();
    ASSERT_EQ(vc.stateImagesPath.size(), 2);
    EXPECT_EQ(ReadSettingsText(vc.stateImagesPath.last())->comboFormat, 8);
    EXPECT_FALSE(vc.CanRedo());
}

TEST_F(EditorHistory, AStateThatCannotBeReadLeavesTheIndexWhereItWas) {
    ViewController& vc = *editor.controller;
    const QString good = WriteSettingsText(EditSettings());
    vc.stateImagesPath = {QStringLiteral("one\ntwo"), good, QStringLiteral("broken")};
    vc.currenState = 1;
    vc.OnUndo();
    EXPECT_EQ(vc.currenState, 1);
    vc.OnRedo();
    EXPECT_EQ(vc.currenState, 1);
}

TEST_F(EditorHistory, ABadTextChangesNothing) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->setFloatValue(0.1f);
    const EditSettings before = vc.CurrentSettings();
    QString text = WriteSettingsText(EditSettings());
    text.replace(0, 3, "bad");
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    vc.LoadStateWithData(text);
    vc.LoadStateWithData(text.chopped(1));
    EXPECT_TRUE(vc.CurrentSettings() == before);
    EXPECT_TRUE(vc.needToSaveState);
    EXPECT_EQ(started.count(), 0);
}

TEST_F(EditorHistory, ReadingATextSetsTheQualityControls) {
    ViewController& vc = *editor.controller;
    EditSettings s;
    s.comboFormat = 5;  // PNG: no quality
    s.sliderQuality = 37.9f;
    vc.LoadStateWithData(WriteSettingsText(s));
    EXPECT_FALSE(vc.sliderQuality->isEnabled());
    EXPECT_EQ(vc.labelQuality->text(), "37");
    s.comboFormat = 4;
    s.sliderQuality = 0.5f;
    vc.LoadStateWithData(WriteSettingsText(s));
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    EXPECT_EQ(vc.labelQuality->text(), "1");
    // The logo path is restored as text only.
    EXPECT_TRUE(vc.logo.isEmpty());
}

}  // namespace
}  // namespace lumetra
