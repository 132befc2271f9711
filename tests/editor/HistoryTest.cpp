// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history's rules, and Undo and Redo on the real controller.
#include "support/WidgetTest.h"

#include "settings/History.h"

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

TEST(History, KeepsFiftyOneTextsAndDropsTheOldestThenTheForwardStates) {
    Fields h;
    for (int i = 0; i <= 51; ++i) h.Record(QString::number(i));
    EXPECT_EQ(h.texts.size(), 51);
    EXPECT_EQ(h.current, 50);
    EXPECT_EQ(h.texts.first(), "1");
    h.current = 3;
    h.Record("new");
    EXPECT_EQ(h.texts, QStringList({"1", "2", "3", "4", "new"}));
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
    void Move(FloatSlider* slider, float value) {
        slider->moveTo(value);
        ASSERT_TRUE(editor.WaitUntilIdle());
    }
    float LastRecorded(float EditSettings::*field) {
        return (*ReadSettingsText(vc.stateImagesPath.last())).*field;
    }
    QTemporaryDir dir;
    QString path = test::WriteImageFile(dir, "p.png", test::PhotoLike(30, 20));
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

// Opening starts again with the panel as it was before its first pass.
TEST_F(EditorHistory, WithoutAPictureUndoLeavesNoSkipAndOpeningStartsWithOneState) {
    for (const int format : {5, 6}) {
        vc.comboFormat->setCurrentIndex(format);
        vc.OnFormatSelected();
    }
    vc.OnUndo();
    EXPECT_EQ(vc.comboFormat->currentIndex(), 5);
    vc.comboFormat->setCurrentIndex(8);
    vc.OnFormatSelected();
    ASSERT_EQ(vc.stateImagesPath.size(), 2);
    EXPECT_EQ(ReadSettingsText(vc.stateImagesPath.last())->comboFormat, 8);
    EXPECT_FALSE(vc.CanRedo());

    const QString panel = WriteSettingsText(vc.CurrentSettings());
    ASSERT_TRUE(editor.Open(path));
    EXPECT_EQ(vc.stateImagesPath, QStringList{panel});
    EXPECT_EQ(vc.currenState, 0);
    EXPECT_TRUE(vc.needToSaveState);
    EXPECT_EQ(vc.textFieldWidth->text(), "30");
    EXPECT_FALSE(vc.CanUndo() || vc.CanRedo());
}

// The skip left by opening or by Undo never swallows a change of the user's.
TEST_F(EditorHistory, AChangeDuringTheFirstPassGetsAStateOfItsOwn) {
    test::GatedRender gate;
    vc.setRenderFunction(gate.Function());
    vc.LoadOriginalImage(path);
    vc.sliderExposure->moveTo(0.5f);  // arrives while the first pass runs
    gate.Release(2);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(gate.started.load(), 2);
    ASSERT_EQ(vc.stateImagesPath.size(), 2);
    EXPECT_EQ(LastRecorded(&EditSettings::sliderExposure), 0.5f);
    // Undo and Redo render the states back without recording them.
    const QStringList states = vc.stateImagesPath;
    gate.Release(10);
    const std::tuple<bool, qint64, float> steps[] = {// undo?, then the state and the value
                                                     {true, 0, 0.f},
                                                     {true, 0, 0.f},
                                                     {false, 1, 0.5f},
                                                     {false, 1, 0.5f}};
    for (const auto& [undo, state, exposure] : steps) {
        undo ? vc.OnUndo() : vc.OnRedo();
        ASSERT_TRUE(editor.WaitUntilIdle());
        EXPECT_EQ(vc.currenState, state);
        EXPECT_EQ(vc.sliderExposure->floatValue(), exposure);
    }
    EXPECT_EQ(gate.started.load(), 4);  // the second Undo and Redo found nothing to do
    EXPECT_EQ(vc.stateImagesPath, states);
    EXPECT_FALSE(vc.CanRedo());
}

TEST_F(EditorHistory, UndoAndAChangeCrossingInFlightEachStepOnce) {
    ASSERT_TRUE(editor.Open(path));
    Move(vc.sliderBrightness, 0.1f);  // states: open, 0.1
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

    // Undo held, the user's change meanwhile: the change is recorded.
    vc.OnUndo();
    vc.sliderGamma->moveTo(2.f);
    gate.Release(10);
    ASSERT_TRUE(editor.WaitUntilIdle());
    ASSERT_EQ(vc.stateImagesPath.size(), 3);
    EXPECT_EQ(LastRecorded(&EditSettings::sliderGamma), 2.f);
    EXPECT_FALSE(vc.CanRedo()) << "Redo would silently revert the change";
}

TEST_F(EditorHistory, APassOfWhatTheCurrentStateHoldsRecordsNothing) {
    ASSERT_TRUE(editor.Open(path));
    Move(vc.sliderBrightness, 0.1f);
    const QStringList states = vc.stateImagesPath;
    vc.checkVignette->click();
    vc.checkVignette->click();  // back as it was before the pass came
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.stateImagesPath, states);
}

// A text that cannot be read changes nothing, not even the pending skip.
TEST_F(EditorHistory, AStateThatCannotBeReadChangesNothing) {
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->setFloatValue(0.1f);
    const EditSettings before = vc.CurrentSettings();
    const QString good = WriteSettingsText(EditSettings());
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    vc.LoadStateWithData(QString(good).replace(0, 3, "bad"));
    vc.LoadStateWithData(good.chopped(1));
    EXPECT_TRUE(vc.CurrentSettings() == before);
    EXPECT_TRUE(vc.needToSaveState);
    EXPECT_EQ(started.count(), 0);
}

}  // namespace
}  // namespace lumetra
