// SPDX-License-Identifier: GPL-3.0-or-later
// The live preview in the editor window: shown before the full result,
// history and output size only from the full pass, Compare, and photos
// whose reduced copy cannot be made.
#include "support/WidgetTest.h"

#include <QFile>

namespace lumetra {
namespace {

class LivePreview : public ::testing::Test {
protected:
    void SetUp() override {
        // Far larger than the 320 x 240 view: previews render from a copy.
        path = test::WriteImageFile(dir, "big.jpg", test::PhotoLike(1600, 1200), "jpeg", 90);
        ASSERT_FALSE(path.isEmpty());
        editor.controller->resize(900, 700);
    }
    QTemporaryDir dir;
    QString path;
    test::Editor editor;
};

TEST_F(LivePreview, ThePreviewComesFirstAndOnlyTheFullPassRecordsAndSizes) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
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
    ASSERT_FALSE(order.isEmpty());
    EXPECT_EQ(order.first(), "preview");
    EXPECT_EQ(order.last(), "full");
    EXPECT_FALSE(vc.imageView->showsPreview());
    EXPECT_EQ(vc.imageView->image().size(), QSize(1200, 1600));
    EXPECT_EQ(vc.textFieldWidth->text(), "1200");
    EXPECT_EQ(vc.stateImagesPath.size(), states + 1);
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
}

TEST_F(LivePreview, CompareShowsTheOriginalAndChangesNothing) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    vc.sliderBrightness->moveTo(0.5f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    const QStringList states = vc.stateImagesPath;
    const EditSettings settings = vc.CurrentSettings();
    const QImage result = vc.imageView->image();
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    vc.Compare(true);
    ASSERT_TRUE(vc.imageView->showsComparison());
    // The unedited photo, 0.5 darker than the result where neither clips.
    const QImage shown = vc.imageView->displayed();
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

TEST_F(LivePreview, APhotoWhoseReducedCopyIsDamagedRendersAsBefore) {
    // Cut short after a sound header: the full read shows what it could,
    // and the reduced decode reports the same damage, so there is no copy.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 2));
    file.close();
    ViewController& vc = *editor.controller;
    QSignalSpy previews(&vc, &ViewController::previewShown);
    ASSERT_TRUE(editor.Open(path));
    EXPECT_FALSE(vc.HasPreviewCopy());
    vc.sliderBrightness->moveTo(0.2f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(previews.count(), 0);
    EXPECT_EQ(vc.imageView->image().size(), QSize(1600, 1200));
}

}  // namespace
}  // namespace lumetra
