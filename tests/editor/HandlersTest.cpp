// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's handlers on the real controller: which changes render, the
// paired number fields and the reset buttons.
#include "support/FieldValues.h"
#include "support/WidgetTest.h"

#include <QMetaObject>

namespace lumetra {
namespace {

class Handlers : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "p.png", test::PhotoLike(24, 16))));
    }
    int Run(const char* action) {  // as its control would; returns the passes started
        const qsizetype before = passes.count();
        EXPECT_TRUE(QMetaObject::invokeMethod(&vc, action)) << action;
        EXPECT_TRUE(editor.WaitUntilIdle());
        return int(passes.count() - before);
    }
    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
    QSignalSpy passes{&vc, &ViewController::renderPassStarted};
};

// Adjustments and group boxes always render; other controls only while their group is on.
TEST_F(Handlers, EachControlRendersAlwaysOrOnlyWhileItsGroupIsOn) {
    for (const FieldSpec& field : SettingsFields()) {
        if (!field.action || field.group == Group::Export) continue;
        const GroupSpec& group = GroupOf(field.group);
        if (!group.checkBox || std::string_view(group.checkBox) == field.name) {
            EXPECT_EQ(Run(field.action), 1) << field.action;
            continue;
        }
        auto* box = static_cast<QCheckBox*>(vc.Control(*FindField(group.checkBox)));
        // A new text each time, so that a paired field's rule is the group's.
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

TEST_F(Handlers, TheWatermarkTextAndPairedFieldsRenderEachChangeOnce) {
    vc.textFieldText->setText("Hello");
    EXPECT_EQ(Run("controlTextDidChange"), 1);  // every keystroke, group off or not
    vc.checkTextWatermark->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(Run("OnTextChanged"), 0);  // "Hello" is already recorded
    vc.textFieldText->setText("Hello there");
    EXPECT_EQ(Run("OnTextChanged"), 1);
    vc.textFieldTextFontSize->setText("60");
    EXPECT_EQ(Run("OnTextFieldTextFontSizeChanged"), 1);
    EXPECT_EQ(vc.CurrentSettings().stepperTextFontSize, 60.f);
    EXPECT_EQ(Run("OnTextFieldTextFontSizeChanged"), 0);
    // The number goes to the stepper unchanged; the field is not rewritten.
    vc.textFieldImageOpacity->setText("  12.5 percent");
    EXPECT_EQ(Run("OnTextFieldImageOpacityChanged"), 0);  // logo watermark off
    EXPECT_EQ(vc.stepperImageOpacity->floatValue(), 12.5f);
    EXPECT_EQ(vc.textFieldImageOpacity->text(), "  12.5 percent");
    vc.stepperTextOpacity->stepUp();  // writes its number into the field
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textFieldTextOpacity->text(), "71");
}

// A reset puts every field of its group but the box back (and the logo).
TEST_F(Handlers, EveryResetRestoresItsGroupOnceAndRendersOnlyWhenOn) {
    for (const GroupSpec& group : SettingsGroups()) {
        if (!group.resetAction) continue;
        QCheckBox* box = group.checkBox
                             ? static_cast<QCheckBox*>(vc.Control(*FindField(group.checkBox)))
                             : nullptr;
        const bool on = box && group.group == Group::Sepia;  // one group renders on
        EditSettings changed = vc.CurrentSettings(), expected = changed;
        for (const FieldSpec& field : SettingsFields()) {
            if (field.group != group.group || (box && box->objectName() == field.name)) continue;
            SetField(changed, field, test::ChangedValue(field));
            SetField(expected, field, field.defaultValue);
        }
        vc.logo = test::Flat(4, 4, 1, 1, 1);
        vc.ApplySettings(changed);
        if (box) box->setChecked(on);
        if (box) SetField(expected, *FindField(group.checkBox), int(on));

        EXPECT_EQ(Run(group.resetAction), (!box || on) ? 1 : 0) << group.resetAction;
        EXPECT_EQ(WriteSettingsText(vc.CurrentSettings()), WriteSettingsText(expected))
            << group.resetAction;
        EXPECT_EQ(vc.logo.isEmpty(), group.group == Group::ImageWatermark) << group.resetAction;
        const qsizetype recorded = vc.stateImagesPath.size();
        EXPECT_EQ(Run(group.resetAction), 0) << group.resetAction << " pressed twice";
        EXPECT_EQ(vc.stateImagesPath.size(), recorded);
        if (box) box->setChecked(false);
        vc.logo = Image();
    }
}

}  // namespace
}  // namespace lumetra
