// SPDX-License-Identifier: GPL-3.0-or-later
// The panel after start-up and after a reset, checked against the settings
// table rather than retyped values.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <cmath>
#include <cstring>

#include "files/CustomImageView.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::Editor;

// A value of the field's kind that differs from its default.
FieldValue Changed(const FieldSpec& field) {
    switch (field.kind) {
        case FieldKind::Slider:
        case FieldKind::Stepper: {
            const float def = std::get<float>(field.defaultValue);
            return def == field.maximum ? field.minimum : field.maximum;
        }
        case FieldKind::CheckBox:
            return std::get<int>(field.defaultValue) == 1 ? 0 : 1;
        case FieldKind::TextField:
            return QStringLiteral("changed");
        case FieldKind::ColorWell:
            return RgbaColor{0.1, 0.2, 0.3, 0.4};
        case FieldKind::PopUp:
            return std::get<int>(field.defaultValue) == 2 ? 3 : 2;
    }
    return {};
}

bool SameValue(const FieldValue& a, const FieldValue& b) {
    if (a.index() != b.index()) return false;
    if (const float* fa = std::get_if<float>(&a)) {
        const float fb = std::get<float>(b);
        return std::memcmp(fa, &fb, sizeof fb) == 0;  // exact, NaN included
    }
    return a == b;
}

TEST(Panel, StartsWithEveryDefault) {
    Editor editor;
    ViewController& vc = *editor.controller;
    const EditSettings current = vc.CurrentSettings();
    const EditSettings defaults;
    for (const FieldSpec& field : SettingsFields())
        EXPECT_TRUE(SameValue(GetField(current, field), field.defaultValue)) << field.name;
    EXPECT_TRUE(current == defaults);

    EXPECT_EQ(vc.currenState, -1);
    EXPECT_TRUE(vc.stateImagesPath.isEmpty());
    EXPECT_EQ(vc.numberOfStates, 50);
    EXPECT_TRUE(vc.needToSaveState);
    EXPECT_FALSE(vc.updating());
    EXPECT_FALSE(vc.selectionChanged());
    EXPECT_FALSE(vc.buttonSaveImage->isEnabled());
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    EXPECT_TRUE(vc.imageView->image().isNull());
    EXPECT_TRUE(vc.imageView->hasImage());
    EXPECT_EQ(vc.textFieldWidth->text(), "0");
    EXPECT_EQ(vc.textFieldHeight->text(), "0");
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    EXPECT_EQ(vc.labelQuality->text(), "80");
    EXPECT_EQ(vc.tabView->currentIndex(), 0);
    EXPECT_EQ(vc.textFieldText->text(), "Watermark");
    EXPECT_EQ(vc.comboTextFontType->currentText(), "Marker Felt");
    EXPECT_EQ(vc.comboTextPosition->currentText(), "Bottom Left");
    EXPECT_EQ(vc.comboImagePosition->currentText(), "Bottom Right");
    EXPECT_EQ(vc.comboFormat->currentText(), "JPG");
    EXPECT_EQ(vc.textField3DTransformM11->text(), "1.00");
    EXPECT_EQ(vc.textField3DTransformM12->text(), "0");
    EXPECT_EQ(vc.stepper3DTransformM44->floatValue(), 1.f);
    EXPECT_EQ(vc.textFieldTextFontSize->text(), "80");
    EXPECT_EQ(vc.stepperTextOpacity->floatValue(), 70.f);
    EXPECT_EQ(vc.checkKeepAspect->checkState(), Qt::Checked);
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
    EXPECT_EQ(items(vc.comboTextPosition),
              QStringList({"Bottom Left", "Bottom Right", "Top Left", "Top Right", "Center"}));
    EXPECT_EQ(items(vc.comboImagePosition), items(vc.comboTextPosition));
    EXPECT_EQ(items(vc.comboFormat), QStringList({"JPG", "JPEG", "JPE", "JP2", "JPX", "PNG",
                                                  "TIFF", "TIF", "GIF", "BMP", "WEBP", "AVIF"}));
}

TEST(Panel, StartUpSetsRangesIncrementsToolTipAndButtonOpacity) {
    Editor editor;
    ViewController& vc = *editor.controller;
    vc.sliderVignetteRadius->setFloatValue(1.f);
    EXPECT_EQ(vc.sliderVignetteRadius->floatValue(), 0.25f);
    vc.sliderVignetteRadius->setFloatValue(-1.f);
    EXPECT_EQ(vc.sliderVignetteRadius->floatValue(), -0.25f);
    vc.sliderPixellatePixelSize->setFloatValue(0.5f);
    EXPECT_EQ(vc.sliderPixellatePixelSize->floatValue(), 0.2f);
    vc.sliderHalftoneDotSize->setFloatValue(0.5f);
    EXPECT_EQ(vc.sliderHalftoneDotSize->floatValue(), 0.2f);
    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind == FieldKind::Stepper && field.group == Group::Transform3D) {
            EXPECT_EQ(static_cast<Stepper*>(vc.Control(field))->increment(), 0.01f) << field.name;
        }
    }
    EXPECT_EQ(vc.checkKeepExifInfo->toolTip(),
              "Keep the EXIF information and creation date of the original image");
    for (QToolButton* button : {vc.buttonZoomIn, vc.buttonZoomOut, vc.buttonResetZoom}) {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
        ASSERT_NE(effect, nullptr);
        EXPECT_DOUBLE_EQ(effect->opacity(), 0.5);
        EXPECT_TRUE(button->isEnabled());
    }
    // Every range holds its default.
    for (const FieldSpec& field : SettingsFields())
        if (field.kind == FieldKind::Slider || field.kind == FieldKind::Stepper) {
            const float def = std::get<float>(field.defaultValue);
            EXPECT_LE(field.minimum, def) << field.name;
            EXPECT_GE(field.maximum, def) << field.name;
        }
}

TEST(Panel, EveryOutletIsTheControlOfItsField) {
    Editor editor;
    ViewController& vc = *editor.controller;
    for (const FieldSpec& field : SettingsFields()) {
        QWidget* control = vc.Control(field);
        ASSERT_NE(control, nullptr) << field.name;
        EXPECT_EQ(control->objectName(), field.name);
    }
    EXPECT_EQ(vc.Control(*FindField("sliderBrightness")), vc.sliderBrightness.get());
    EXPECT_EQ(vc.Control(*FindField("stepper3DTransformM23")), vc.stepper3DTransformM23.get());
    EXPECT_EQ(vc.Control(*FindField("colorWellTextColor")), vc.colorWellTextColor.get());
    for (const GroupSpec& group : SettingsGroups()) {
        if (group.resetButton) {
            EXPECT_NE(vc.findChild<QPushButton*>(group.resetButton), nullptr) << group.resetButton;
        }
    }
}

TEST(Panel, ResetInterfaceRestoresEveryDefaultAndKeepsTheHistory) {
    Editor editor;
    ViewController& vc = *editor.controller;
    EditSettings edited;
    for (const FieldSpec& field : SettingsFields()) SetField(edited, field, Changed(field));
    vc.ApplySettings(edited);
    for (const FieldSpec& field : SettingsFields())
        EXPECT_FALSE(SameValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name << " did not take a changed value";
    vc.originalImagePath = "/tmp/x.png";
    vc.originalImageName = "x";
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
    EXPECT_TRUE(vc.CurrentSettings() == EditSettings());
    EXPECT_TRUE(vc.originalImagePath.isEmpty());
    EXPECT_TRUE(vc.originalImageName.isEmpty());
    EXPECT_EQ(vc.originalImageSize, QSizeF(0, 0));
    EXPECT_TRUE(vc.logo.isEmpty());
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    EXPECT_EQ(vc.labelQuality->text(), "80");
    EXPECT_EQ(vc.tabView->currentIndex(), 0);
    EXPECT_FALSE(vc.buttonSaveImage->isEnabled());
    EXPECT_EQ(vc.stateImagesPath, QStringList({"one", "two"}));
    EXPECT_EQ(vc.currenState, 1);
    EXPECT_FALSE(vc.needToSaveState);
}

TEST(Panel, SlidersHoldExactFloatsAndNaN) {
    Editor editor;
    FloatSlider* slider = editor.controller->sliderGamma;
    for (const float v : {0.123456789f, 1.0000001f, 2.9999998f, 0.f}) {
        slider->setFloatValue(v);
        EXPECT_EQ(slider->floatValue(), v);
    }
    slider->setFloatValue(std::nanf(""));
    EXPECT_TRUE(std::isnan(slider->floatValue()));
    slider->setFloatValue(99.f);
    EXPECT_EQ(slider->floatValue(), slider->maximum());
}

TEST(Panel, CheckBoxesReadOnOffAndMixed) {
    Editor editor;
    ViewController& vc = *editor.controller;
    EditSettings s;
    s.checkSepia = -1;
    s.checkRotate = 1;
    s.checkKeepAspect = 0;
    vc.ApplySettings(s);
    const EditSettings read = vc.CurrentSettings();
    EXPECT_EQ(read.checkSepia, -1);
    EXPECT_EQ(read.checkRotate, 1);
    EXPECT_EQ(read.checkKeepAspect, 0);
    // A user's click on a mixed box turns it on, then it has two states.
    vc.checkSepia->click();
    EXPECT_EQ(vc.CurrentSettings().checkSepia, 1);
    vc.checkSepia->click();
    EXPECT_EQ(vc.CurrentSettings().checkSepia, 0);
    vc.checkSepia->click();
    EXPECT_EQ(vc.CurrentSettings().checkSepia, 1);
}

TEST(Panel, SettingControlsFromCodeRunsNoHandler) {
    Editor editor;
    ViewController& vc = *editor.controller;
    const QString path = [] {
        static QTemporaryDir dir;
        return test::WriteImageFile(dir, "p.png", test::PhotoLike(10, 10));
    }();
    ASSERT_TRUE(editor.Open(path));
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    EditSettings s;
    s.sliderBrightness = 0.3f;
    s.checkSepia = 1;
    s.comboTextFontType = 3;
    vc.ApplySettings(s);
    vc.ResetInterface();
    EXPECT_EQ(started.count(), 0);
}

}  // namespace
}  // namespace lumetra
