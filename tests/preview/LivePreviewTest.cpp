// SPDX-License-Identifier: GPL-3.0-or-later
// The live preview in the editor window: shown before the full result,
// history and output size only from the full pass, and Compare.
#include "support/WidgetTest.h"

namespace lumetra {
namespace {

// A photo far larger than the view: previews render from a reduced copy.
class LivePreview : public ::testing::Test {
  protected:
    void SetUp() override {
        vc.resize(900, 700);
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "big.jpg", test::PhotoLike(1600, 1200))));
    }
    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

TEST_F(LivePreview, ThePreviewComesFirstAndOnlyTheFullPassRecordsAndSizes) {
    ASSERT_TRUE(vc.HasPreviewCopy());
    const qsizetype states = vc.stateImagesPath.size();
    QStringList order;
    QObject::connect(&vc, &ViewController::previewShown, [&] {
        order << "preview";
        EXPECT_EQ(vc.stateImagesPath.size(), states) << "a preview recorded a state";
        EXPECT_TRUE(vc.imageView->showsPreview());
        EXPECT_EQ(vc.textFieldWidth->text(), "1600");
    });
    QObject::connect(&vc, &ViewController::renderPassFinished, [&] { order << "full"; });
    vc.checkRotate->click();
    vc.sliderRotateAngle->moveTo(90.f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(QStringList({order.value(0), order.value(order.size() - 1)}),
              QStringList({"preview", "full"}));
    EXPECT_FALSE(vc.imageView->showsPreview());
    EXPECT_EQ(vc.imageView->image().size(), QSize(1200, 1600));
    EXPECT_EQ(vc.textFieldWidth->text(), "1200");
    EXPECT_EQ(vc.stateImagesPath.size(), states + 1);
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
}

TEST_F(LivePreview, CompareShowsTheOriginalAndChangesNothing) {
    vc.sliderBrightness->moveTo(0.5f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    const QStringList states = vc.stateImagesPath;
    const EditSettings settings = vc.CurrentSettings();
    const QImage result = vc.imageView->image();
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    vc.Compare(true);
    ASSERT_TRUE(vc.imageView->showsComparison());
    const QImage shown = vc.imageView->displayed();  // the unedited photo, darker
    const QColor original = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    const QColor edited = result.pixelColor(result.width() / 2, result.height() / 2);
    EXPECT_LT(original.lightnessF(), edited.lightnessF() - 0.2);
    vc.Compare(false);
    EXPECT_FALSE(vc.imageView->showsComparison());
    EXPECT_EQ(vc.imageView->displayed(), result);
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(vc.stateImagesPath, states);
    EXPECT_TRUE(vc.CurrentSettings() == settings);
}

}  // namespace
}  // namespace lumetra
