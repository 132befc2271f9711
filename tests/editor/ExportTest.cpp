// SPDX-License-Identifier: GPL-3.0-or-later
// The export controls: the quality label and the keep-aspect arithmetic on
// their own; in the window, they record at once and never render.
#include "support/WidgetTest.h"

#include "files/Export.h"

namespace lumetra {
namespace {

TEST(ExportText, QualityLabelShowsTheWholePartNeverBelowOne) {
    for (const auto& [value, label] : {std::pair{1.f, "1"},
                                       {0.f, "1"},
                                       {0.5f, "1"},
                                       {37.9f, "37"},
                                       {100.f, "100"},
                                       {std::nanf(""), "1"}})
        EXPECT_EQ(QualityLabelText(value), label) << value;
}

TEST(ExportText, KeepAspectRoundsThePartnerHalvesAwayFromZero) {
    struct {
        QSize shown;
        QSizeF source;  // empty while no photo is open
        bool fromWidth;
        const char* typed;
        const char* partner;  // null: the partner stays as it was
    } const cases[] = {
        {{300, 100}, {300, 100}, true, "100", "33"},
        {{300, 100}, {300, 100}, false, "33", "99"},
        {{400, 300}, {400, 300}, true, "200", "150"},
        {{400, 300}, {400, 300}, false, "100", "133"},
        {{300, 200}, {300, 200}, true, "3.75", "3"},
        {{300, 200}, {300, 200}, true, "-3.75", "-3"},
        {{300, 200}, {300, 200}, true, "1e30", nullptr},
        {{300, 200}, {300, 200}, true, "inf", nullptr},
        {{300, 200}, {300, 200}, true, "wide", "0"},
        {{200, 300}, {300, 200}, true, "100", "150"},  // the shown result, turned
        {{300, 100}, {}, true, "250.4", "250"},        // no photo: the ratio is one
    };
    for (const auto& c : cases) {
        QString width = c.fromWidth ? c.typed : "old", height = c.fromWidth ? "old" : c.typed;
        KeepAspectStep(&width, &height, OutputAspectRatio(c.shown, c.source), c.fromWidth);
        EXPECT_EQ(c.fromWidth ? width : height, c.typed);
        EXPECT_EQ(c.fromWidth ? height : width, c.partner ? c.partner : "old") << c.typed;
    }
}

class Export : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "p.png", test::PhotoLike(300, 100))));
    }
    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

TEST_F(Export, FormatAndQualityRecordWithoutRenderingAndFollowARestoredState) {
    QSignalSpy passes(&vc, &ViewController::renderPassStarted);
    const qint64 states = vc.stateImagesPath.size();
    // PNG, AVIF, BMP, JPX: the quality slider only for the lossy families.
    for (const auto& [index, lossy] : {std::pair{5, false}, {11, true}, {9, false}, {4, true}}) {
        vc.comboFormat->setCurrentIndex(index);
        vc.OnFormatSelected();
        EXPECT_EQ(vc.sliderQuality->isEnabled(), lossy) << index;
    }
    vc.sliderQuality->moveTo(37.9f);
    EXPECT_EQ(vc.labelQuality->text(), "37");
    vc.checkKeepExifInfo->click();  // recorded only when saving
    EXPECT_EQ(vc.stateImagesPath.size(), states + 5);
    EXPECT_EQ(passes.count(), 0);
    EditSettings s;
    s.comboFormat = 5;
    vc.LoadStateWithData(WriteSettingsText(s));
    EXPECT_FALSE(vc.sliderQuality->isEnabled());
}

TEST_F(Export, KeepAspectFollowsTheShownPictureAndOffOnlyRecordsAfterTheNote) {
    const qint64 states = vc.stateImagesPath.size();
    vc.checkKeepAspect->click();  // off
    vc.checkKeepAspect->click();  // on: nothing said
    vc.checkKeepAspect->click();  // off again
    ASSERT_EQ(editor.dialogs->alerts.size(), 2);
    EXPECT_EQ(editor.dialogs->alerts[0].text,
              "NOTE: Deactivating this option can result in a distorted output image.");
    vc.textFieldWidth->setText("500");
    vc.OnWidthChanged();
    EXPECT_EQ(vc.textFieldHeight->text(), "100");
    EXPECT_EQ(vc.stateImagesPath.size(), states + 4);  // each click and the edit
}

// The size fields show each pass's size, fractions cut off; the reset records only a change.
TEST_F(Export, TheSizeFieldsFollowEachPassAndTheResetRecordsOnlyAChange) {
    const qint64 states = vc.stateImagesPath.size();
    vc.OnResetWidthHeight();  // already the source size
    vc.textFieldWidth->setText("77");
    vc.OnResetWidthHeight();
    EXPECT_EQ(vc.textFieldWidth->text(), "300");
    EXPECT_EQ(vc.stateImagesPath.size(), states + 1);
    vc.checkKeepAspect->setChecked(false);  // 300 x 100 turned by 45 degrees: 282.8 x 282.8
    vc.textFieldWidth->setText("10");
    vc.sliderRotateAngle->setFloatValue(45.f);
    vc.checkRotate->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.textFieldWidth->text(), "282");
    EXPECT_EQ(vc.textFieldHeight->text(), "282");
}

}  // namespace
}  // namespace lumetra
