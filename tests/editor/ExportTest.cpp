// SPDX-License-Identifier: GPL-3.0-or-later
// The export controls: they never render and record the settings at once;
// the keep-aspect arithmetic on the shown picture.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "support/TestImages.h"

namespace lumetra {
namespace {

class Export : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void OpenPicture(int w, int h) {
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, QStringLiteral("%1x%2.png").arg(w).arg(h),
                                                     test::PhotoLike(w, h))));
    }
    QTemporaryDir dir;
    test::Editor editor;
};

TEST_F(Export, FormatAndQualityRecordWithoutRendering) {
    ViewController& vc = *editor.controller;
    OpenPicture(20, 10);
    QSignalSpy passes(&vc, &ViewController::renderPassStarted);
    const qint64 states = vc.stateImagesPath.size();
    vc.comboFormat->setCurrentIndex(5);  // PNG
    vc.OnFormatSelected();
    EXPECT_FALSE(vc.sliderQuality->isEnabled());
    vc.comboFormat->setCurrentIndex(11);  // AVIF
    vc.OnFormatSelected();
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    vc.comboFormat->setCurrentIndex(9);  // BMP
    vc.OnFormatSelected();
    EXPECT_FALSE(vc.sliderQuality->isEnabled());
    vc.comboFormat->setCurrentIndex(4);  // JPX
    vc.OnFormatSelected();
    EXPECT_TRUE(vc.sliderQuality->isEnabled());
    for (const auto& [value, label] : {std::pair{1.f, "1"}, {0.f, "1"}, {37.9f, "37"}, {100.f, "100"}}) {
        vc.sliderQuality->moveTo(value);
        EXPECT_EQ(vc.labelQuality->text(), label) << value;
    }
    EXPECT_EQ(vc.stateImagesPath.size(), states + 8);
    EXPECT_EQ(passes.count(), 0);
    vc.checkKeepExifInfo->click();  // recorded only when saving
    EXPECT_EQ(vc.stateImagesPath.size(), states + 8);
}

struct AspectCase {
    int width, height;  // the shown picture
    bool fromWidth;
    const char* typed;
    const char* partner;
};

class KeepAspect : public Export, public ::testing::WithParamInterface<AspectCase> {};

TEST_P(KeepAspect, SetsThePartnerFieldRoundingHalvesAwayFromZero) {
    const AspectCase c = GetParam();
    ViewController& vc = *editor.controller;
    OpenPicture(c.width, c.height);
    QLineEdit* typedField = c.fromWidth ? vc.textFieldWidth : vc.textFieldHeight;
    QLineEdit* partner = c.fromWidth ? vc.textFieldHeight : vc.textFieldWidth;
    const QString before = partner->text();
    const qint64 states = vc.stateImagesPath.size();
    typedField->setText(c.typed);
    c.fromWidth ? vc.OnWidthChanged() : vc.OnHeightChanged();
    EXPECT_EQ(partner->text(), c.partner ? QString(c.partner) : before);
    EXPECT_EQ(typedField->text(), c.typed) << "the field that sent the action was touched";
    EXPECT_EQ(vc.stateImagesPath.size(), states + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Export, KeepAspect,
    ::testing::Values(AspectCase{300, 100, true, "100", "33"},
                      AspectCase{300, 100, false, "33", "99"},
                      AspectCase{400, 300, true, "200", "150"},
                      AspectCase{400, 300, false, "100", "133"},
                      AspectCase{300, 200, true, "3.75", "3"},
                      AspectCase{300, 200, true, "-3.75", "-3"},
                      AspectCase{300, 200, true, "1e30", nullptr},
                      AspectCase{300, 200, true, "inf", nullptr},
                      AspectCase{300, 200, true, "wide", "0"}));

TEST_F(Export, WithoutAPictureTheRatioIsOne) {
    ViewController& vc = *editor.controller;
    vc.textFieldWidth->setText("250.4");
    vc.OnWidthChanged();
    EXPECT_EQ(vc.textFieldHeight->text(), "250");
}

TEST_F(Export, KeepAspectOffOnlyRecordsAndClearingItShowsTheNote) {
    ViewController& vc = *editor.controller;
    OpenPicture(300, 100);
    vc.checkKeepAspect->click();  // off
    vc.checkKeepAspect->click();  // on: nothing said
    vc.checkKeepAspect->click();  // off again
    ASSERT_EQ(editor.dialogs->alerts.size(), 2);
    EXPECT_EQ(editor.dialogs->alerts[0].text,
              "NOTE: Deactivating this option can result in a distorted output image.");
    EXPECT_EQ(editor.dialogs->alerts[0].style, Dialogs::AlertStyle::Informational);
    vc.textFieldWidth->setText("500");
    vc.OnWidthChanged();
    EXPECT_EQ(vc.textFieldHeight->text(), "100");
}

TEST_F(Export, ResettingTheSizeRecordsOnlyWhenItDiffersFromTheSource) {
    ViewController& vc = *editor.controller;
    OpenPicture(100, 50);
    const qint64 states = vc.stateImagesPath.size();
    vc.OnResetWidthHeight();  // already the source size
    EXPECT_EQ(vc.stateImagesPath.size(), states);
    vc.textFieldWidth->setText("77");
    vc.OnResetWidthHeight();
    EXPECT_EQ(vc.textFieldWidth->text(), "100");
    EXPECT_EQ(vc.stateImagesPath.size(), states + 1);

    // Turned by 90 degrees the result is 50 x 100; each press writes that
    // again and records, because it differs from the source's size.
    vc.sliderRotateAngle->setFloatValue(90.f);
    vc.checkRotate->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textFieldWidth->text(), "50");
    const qint64 rotated = vc.stateImagesPath.size();
    vc.OnResetWidthHeight();
    vc.OnResetWidthHeight();
    EXPECT_EQ(vc.textFieldWidth->text(), "50");
    EXPECT_EQ(vc.textFieldHeight->text(), "100");
    EXPECT_EQ(vc.stateImagesPath.size(), rotated + 2);
}

TEST_F(Export, ATypedSizeHoldsOnlyUntilTheNextPass) {
    ViewController& vc = *editor.controller;
    OpenPicture(60, 40);
    vc.checkKeepAspect->setChecked(false);
    vc.textFieldWidth->setText("10");
    vc.sliderBrightness->moveTo(0.1f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textFieldWidth->text(), "60");
}

}  // namespace
}  // namespace lumetra
