// SPDX-License-Identifier: GPL-3.0-or-later
// The panel after start-up and after a reset, and its controls, against the
// settings table.
#include "support/FieldValues.h"
#include "support/WidgetTest.h"

namespace lumetra {
namespace {

using test::SameFieldValue;

// Start-up and ResetInterface leave every default and the same panel.
void ExpectTheStartingPanel(ViewController& vc) {
    for (const FieldSpec& field : SettingsFields())
        EXPECT_TRUE(SameFieldValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name;
    const QStringList shown{vc.originalImagePath,
                            QString::number(vc.originalImageSize.width()),
                            QString::number(vc.logo.width()),
                            vc.sliderQuality->isEnabled() ? "quality" : "no quality",
                            vc.labelQuality->text(),
                            QString::number(vc.tabView->currentIndex()),
                            vc.buttonSaveImage->isEnabled() ? "save" : "no save",
                            vc.progressIndicator->isVisibleTo(&vc) ? "busy" : "idle",
                            vc.imageView->image().isNull() ? "empty" : "picture"};
    EXPECT_EQ(shown, QStringList({"", "0", "0", "quality", "80", "0", "no save", "idle", "empty"}));
}

TEST(Panel, StartsAndResetsToEveryDefaultAndAResetKeepsTheHistory) {
    test::Editor editor;
    ViewController& vc = *editor.controller;
    ExpectTheStartingPanel(vc);
    EXPECT_EQ(vc.currenState, -1);
    EXPECT_TRUE(vc.stateImagesPath.isEmpty());
    EXPECT_EQ(vc.numberOfStates, 50);
    EXPECT_TRUE(vc.needToSaveState);

    vc.ApplySettings(test::EveryFieldChanged());  // boxes that start off read back mixed
    for (const FieldSpec& field : SettingsFields())
        EXPECT_FALSE(SameFieldValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name << " did not take a changed value";
    for (const int state : {1, 0, 1}) {  // a click on a mixed box turns it on
        vc.checkSepia->click();
        EXPECT_EQ(vc.CurrentSettings().checkSepia, state);
    }
    vc.originalImagePath = "/tmp/x.png";
    vc.originalImageSize = QSizeF(10, 10);
    vc.logo = test::Flat(4, 4, 1, 0, 0);
    vc.sliderQuality->setEnabled(false);
    vc.labelQuality->setText("3");
    vc.tabView->setCurrentIndex(3);
    vc.buttonSaveImage->setEnabled(true);
    vc.stateImagesPath = QStringList{"one", "two"};
    vc.currenState = 1;
    vc.needToSaveState = false;
    vc.ResetInterface();
    ExpectTheStartingPanel(vc);
    EXPECT_EQ(vc.stateImagesPath, QStringList({"one", "two"}));
    EXPECT_EQ(vc.currenState, 1);
    EXPECT_FALSE(vc.needToSaveState);
}

TEST(Panel, EveryFieldHasItsControlWithItsRangeAndThePopUpsTheirLists) {
    test::Editor editor;
    ViewController& vc = *editor.controller;
    for (const FieldSpec& field : SettingsFields()) {
        QWidget* control = vc.Control(field);
        ASSERT_NE(control, nullptr) << field.name;
        EXPECT_EQ(control->objectName(), field.name);
        if (auto* slider = qobject_cast<FloatSlider*>(control)) {
            EXPECT_EQ(std::pair(slider->minimum(), slider->maximum()),
                      std::pair(field.minimum, field.maximum)) << field.name;
        } else if (auto* stepper = qobject_cast<Stepper*>(control)) {
            EXPECT_EQ(std::tuple(stepper->minimum(), stepper->maximum(), stepper->increment()),
                      std::tuple(field.minimum, field.maximum, field.increment)) << field.name;
        }
    }
    for (const GroupSpec& group : SettingsGroups())
        if (group.resetButton) EXPECT_TRUE(vc.findChild<QPushButton*>(group.resetButton));
    // A few of the documented ranges.
    EXPECT_EQ(vc.sliderVignetteRadius->minimum(), -0.25f);
    EXPECT_EQ(vc.sliderVignetteRadius->maximum(), 0.25f);
    EXPECT_EQ(vc.sliderPixellatePixelSize->maximum(), 0.2f);
    EXPECT_EQ(vc.stepper3DTransformM41->increment(), 0.01f);

    const auto items = [](const QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
        return list;
    };
    EXPECT_EQ(items(vc.comboTextFontType), FontFamilyNames());
    EXPECT_EQ(FontFamilyNames().size(), 20);
    EXPECT_EQ(vc.comboTextFontType->currentText(), "Marker Felt");
    EXPECT_EQ(items(vc.comboTextPosition),
              QStringList({"Bottom Left", "Bottom Right", "Top Left", "Top Right", "Center"}));
    EXPECT_EQ(items(vc.comboImagePosition), items(vc.comboTextPosition));
    EXPECT_EQ(items(vc.comboFormat), QStringList({"JPG", "JPEG", "JPE", "JP2", "JPX", "PNG",
                                                  "TIFF", "TIF", "GIF", "BMP"}));
}

}  // namespace
}  // namespace lumetra
