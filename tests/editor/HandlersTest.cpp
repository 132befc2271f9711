// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's handlers on the real controller: which changes render, the
// paired number fields, the matrix cells and the eighteen reset buttons.
#include "support/FieldValues.h"
#include "support/WidgetTest.h"

#include <QMetaObject>

namespace lumetra {
namespace {

// An editor with a picture open.
class Handlers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "p.png", test::PhotoLike(24, 16))));
        passes = std::make_unique<QSignalSpy>(&vc, &ViewController::renderPassStarted);
    }
    // Runs a handler by its name, as its control would, and waits for any
    // pass it started. Returns the number of passes started.
    int Run(const char* action) {
        const int before = passes->count();
        EXPECT_TRUE(QMetaObject::invokeMethod(&vc, action)) << action;
        EXPECT_TRUE(editor.WaitUntilIdle());
        return passes->count() - before;
    }

    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
    std::unique_ptr<QSignalSpy> passes;
};

// Adjustments and group boxes always render; any other control of a
// group only while its group is on (not off, not mixed).
TEST_F(Handlers, EachControlRendersAlwaysOrOnlyWhileItsGroupIsOn) {
    for (const FieldSpec& field : SettingsFields()) {
        if (!field.action || field.group == Group::Export) continue;
        const GroupSpec& group = GroupOf(field.group);
        if (!group.checkBox || std::string_view(group.checkBox) == field.name) {
            EXPECT_EQ(Run(field.action), 1) << field.action;
            continue;
        }
        auto* box = static_cast<QCheckBox*>(vc.Control(*FindField(group.checkBox)));
        // Paired text fields compare with the recorded state: change the
        // text so that the rule under test is the group rule.
        const auto edit = [&](const char* text) {
            if (field.kind == FieldKind::TextField)
                static_cast<QLineEdit*>(vc.Control(field))->setText(text);
        };
        edit("7");
        box->setCheckState(Qt::Unchecked);
        EXPECT_EQ(Run(field.action), 0) << field.action << " rendered with its group off";
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        EXPECT_EQ(Run(field.action), 0) << field.action << " rendered with its group mixed";
        box->setTristate(false);
        box->setCheckState(Qt::Checked);
        edit("8");
        EXPECT_EQ(Run(field.action), 1) << field.action << " did not render with its group on";
        box->setCheckState(Qt::Unchecked);
    }
}

TEST_F(Handlers, SettingControlsFromCodeRunsNoHandler) {
    EditSettings s;
    s.sliderBrightness = 0.3f;
    s.checkSepia = 1;
    s.comboTextFontType = 3;
    vc.ApplySettings(s);
    vc.ResetInterface();
    EXPECT_EQ(passes->count(), 0);
}

TEST_F(Handlers, APairedFieldRendersATypedNumberOnce) {
    vc.checkTextWatermark->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    vc.textFieldTextFontSize->setText("60");
    EXPECT_EQ(Run("OnTextFieldTextFontSizeChanged"), 1);
    EXPECT_EQ(vc.stepperTextFontSize->floatValue(), 60.f);
    EXPECT_EQ(vc.CurrentSettings().stepperTextFontSize, 60.f);
    // Recorded now: ending the edit again changes nothing.
    EXPECT_EQ(Run("OnTextFieldTextFontSizeChanged"), 0);

    // The number goes to the stepper unchanged; the field is not rewritten.
    vc.textFieldImageOpacity->setText("  12.5 percent");
    EXPECT_EQ(Run("OnTextFieldImageOpacityChanged"), 0);  // logo watermark off
    EXPECT_EQ(vc.stepperImageOpacity->floatValue(), 12.5f);
    EXPECT_EQ(vc.textFieldImageOpacity->text(), "  12.5 percent");

    // A stepper click writes its number into the field.
    vc.stepperTextOpacity->stepUp();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textFieldTextOpacity->text(), "71");
    EXPECT_EQ(vc.CurrentSettings().stepperTextOpacity, 71.f);
}

TEST_F(Handlers, TheWatermarkTextRendersAsTypedAndNotAgainWhenTheEditEnds) {
    vc.textFieldText->setText("Hello");
    EXPECT_EQ(Run("controlTextDidChange"), 1);  // every keystroke, group off or not
    vc.checkTextWatermark->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(Run("OnTextChanged"), 0);  // "Hello" is already recorded
    vc.textFieldText->setText("Hello there");
    EXPECT_EQ(Run("OnTextChanged"), 1);
}

// The cells only show their steppers' numbers (the text's rule is
// PanelText.MatrixCellsShowTwoDecimalsOrZero).
TEST_F(Handlers, MatrixCellsAreReadOnlyAndShowTheirSteppersNumbers) {
    QTest::keyClicks(vc.textField3DTransformM12, "7");
    EXPECT_TRUE(vc.textField3DTransformM12->isReadOnly());
    EXPECT_EQ(vc.textField3DTransformM12->text(), "0");
    vc.stepper3DTransformM12->setFloatValue(0.24f);
    vc.stepper3DTransformM12->stepUp();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textField3DTransformM12->text(), "0.25");
    EXPECT_EQ(passes->count(), 0);  // transform off
    vc.check3DTransform->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    vc.stepper3DTransformM41->stepUp();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(passes->count(), 2);
    EXPECT_FLOAT_EQ(vc.CurrentSettings().stepper3DTransformM41, 0.01f);
}

TEST_F(Handlers, EveryResetRestoresItsGroupOnceAndRendersOnlyWhenOn) {
    for (const GroupSpec& group : SettingsGroups()) {
        if (!group.resetAction) continue;
        // Move every control of the group away from its default.
        EditSettings s = vc.CurrentSettings();
        for (const FieldSpec& field : SettingsFields()) {
            if (field.group != group.group) continue;
            if (group.checkBox && field.name == std::string_view(group.checkBox)) continue;
            SetField(s, field, test::ChangedValue(field));
        }
        if (group.group == Group::ImageWatermark) vc.logo = test::Flat(4, 4, 1, 1, 1);
        vc.ApplySettings(s);
        const bool on = group.checkBox && (group.group == Group::Sepia);  // one group renders on
        QCheckBox* box = group.checkBox ? static_cast<QCheckBox*>(vc.Control(*FindField(group.checkBox)))
                                        : nullptr;
        if (box) box->setChecked(on);

        const int first = Run(group.resetAction);
        const EditSettings after = vc.CurrentSettings();
        for (const FieldSpec& field : SettingsFields()) {
            if (field.group != group.group) continue;
            if (group.checkBox && field.name == std::string_view(group.checkBox)) {
                EXPECT_EQ(std::get<int>(GetField(after, field)), on ? 1 : 0)
                    << "a reset changed its group box";
                continue;
            }
            EXPECT_TRUE(GetField(after, field) == field.defaultValue)
                << group.resetAction << " left " << field.name;
        }
        EXPECT_EQ(first, (!box || on) ? 1 : 0) << group.resetAction;
        if (group.group == Group::ImageWatermark) {
            EXPECT_TRUE(vc.logo.isEmpty());
        }
        // Pressed again: nothing to do.
        const int recorded = int(vc.stateImagesPath.size());
        EXPECT_EQ(Run(group.resetAction), 0) << group.resetAction << " pressed twice";
        EXPECT_EQ(vc.stateImagesPath.size(), recorded);
        if (box) box->setChecked(false);
    }
}

}  // namespace
}  // namespace lumetra
