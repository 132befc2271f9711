// SPDX-License-Identifier: GPL-3.0-or-later
// The panel after start-up and after a reset, checked against the settings
// table rather than retyped values.
#include "support/FieldValues.h"
#include "support/WidgetTest.h"

#include <QGraphicsOpacityEffect>

namespace lumetra {
namespace {

using test::Editor;
using test::SameFieldValue;

// Start-up and ResetInterface leave the same panel: every default, nothing
// open, the quality label and the first tab; a reset keeps the history.
void ExpectTheStartingPanel(ViewController& vc) {
    const EditSettings current = vc.CurrentSettings();
    for (const FieldSpec& field : SettingsFields())
        EXPECT_TRUE(SameFieldValue(GetField(current, field), field.defaultValue)) << field.name;
    EXPECT_TRUE(vc.originalImagePath.isEmpty());
    EXPECT_EQ(vc.originalImageSize, QSizeF(0, 0));
    EXPECT_TRUE(vc.logo.isEmpty());
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    EXPECT_EQ(vc.labelQuality->text(), "80");
    EXPECT_EQ(vc.tabView->currentIndex(), 0);
    EXPECT_FALSE(vc.buttonSaveImage->isEnabled());
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    EXPECT_TRUE(vc.imageView->image().isNull());
}

TEST(Panel, StartsAndResetsToEveryDefaultAndAResetKeepsTheHistory) {
    Editor editor;
    ViewController& vc = *editor.controller;
    ExpectTheStartingPanel(vc);
    EXPECT_EQ(vc.currenState, -1);
    EXPECT_TRUE(vc.stateImagesPath.isEmpty());
    EXPECT_EQ(vc.numberOfStates, 50);
    EXPECT_TRUE(vc.needToSaveState);
    // With no picture open, a change starts no pass.
    vc.sliderBrightness->moveTo(0.5f);
    EXPECT_FALSE(vc.updating());

    vc.ApplySettings(test::EveryFieldChanged());  // boxes that start off read back mixed
    for (const FieldSpec& field : SettingsFields())
        EXPECT_FALSE(SameFieldValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name << " did not take a changed value";
    // A user's click on a mixed box turns it on, then it has two states.
    for (const int state : {1, 0, 1}) {
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

TEST(Panel, EveryOutletIsTheControlOfItsFieldWithItsRange) {
    Editor editor;
    ViewController& vc = *editor.controller;
    for (const FieldSpec& field : SettingsFields()) {
        QWidget* control = vc.Control(field);
        ASSERT_NE(control, nullptr) << field.name;
        EXPECT_EQ(control->objectName(), field.name);
        if (auto* slider = qobject_cast<FloatSlider*>(control)) {
            EXPECT_EQ(slider->minimum(), field.minimum) << field.name;
            EXPECT_EQ(slider->maximum(), field.maximum) << field.name;
        } else if (auto* stepper = qobject_cast<Stepper*>(control)) {
            EXPECT_EQ(stepper->minimum(), field.minimum) << field.name;
            EXPECT_EQ(stepper->maximum(), field.maximum) << field.name;
            EXPECT_EQ(stepper->increment(), field.increment) << field.name;
        }
    }
    EXPECT_EQ(vc.Control(*FindField("stepper3DTransformM23")), vc.stepper3DTransformM23.get());
    for (const GroupSpec& group : SettingsGroups())
        if (group.resetButton) {
            EXPECT_NE(vc.findChild<QPushButton*>(group.resetButton), nullptr) << group.resetButton;
        }
    // A few of the documented ranges.
    EXPECT_EQ(vc.sliderVignetteRadius->minimum(), -0.25f);
    EXPECT_EQ(vc.sliderVignetteRadius->maximum(), 0.25f);
    EXPECT_EQ(vc.sliderPixellatePixelSize->maximum(), 0.2f);
    EXPECT_EQ(vc.sliderHalftoneDotSize->maximum(), 0.2f);
    EXPECT_EQ(vc.stepper3DTransformM41->increment(), 0.01f);

    EXPECT_EQ(vc.checkKeepExifInfo->toolTip(),
              "Keep the EXIF information and creation date of the original image");
    for (QToolButton* button : {vc.buttonZoomIn, vc.buttonZoomOut, vc.buttonResetZoom}) {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
        ASSERT_NE(effect, nullptr);
        EXPECT_DOUBLE_EQ(effect->opacity(), 0.5);
    }
}

TEST(Panel, PopUpsHoldTheirListsInOrder) {
    Editor editor;
    const auto items = [](const QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
        return list;
    };
    ViewController& vc = *editor.controller;
    EXPECT_EQ(items(vc.comboTextFontType).size(), 20);
    EXPECT_EQ(items(vc.comboTextFontType), FontFamilyNames());
    EXPECT_EQ(vc.comboTextFontType->currentText(), "Marker Felt");
    EXPECT_EQ(items(vc.comboTextPosition),
              QStringList({"Bottom Left", "Bottom Right", "Top Left", "Top Right", "Center"}));
    EXPECT_EQ(items(vc.comboImagePosition), items(vc.comboTextPosition));
    EXPECT_EQ(items(vc.comboFormat), QStringList({"JPG", "JPEG", "JPE", "JP2", "JPX", "PNG",
                                                  "TIFF", "TIF", "GIF", "BMP", "WEBP", "AVIF"}));
}

}  // namespace
}  // namespace lumetra
