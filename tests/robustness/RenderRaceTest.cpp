// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass, its merge rule and its completion under a storm of
// requests, with real passes on the worker: hundreds of changes, opening
// another picture and New during passes. The ThreadSanitizer build runs
// these; in every build the shown result must be the one the last
// request's settings give. One pass at a time, each rule alone, is tested
// in tests/render and tests/editor.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "files/CustomImageView.h"
#include "files/RenderJob.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

class RenderRaces : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        first = test::WriteImageFile(dir, "first.png", test::PhotoLike(320, 200));
        second = test::WriteImageFile(dir, "second.jpg", test::PhotoLike(200, 260), "jpeg");
        ASSERT_FALSE(first.isEmpty());
        ASSERT_FALSE(second.isEmpty());
    }
    // What a pass with the panel as it is now gives for path.
    QImage Expected(const QString& path) {
        return RunRenderPass(path, editor.controller->CurrentSettings(), editor.controller->logo)
            .image;
    }
    void ExpectIdle() {
        const ViewController& vc = *editor.controller;
        EXPECT_FALSE(vc.updating());
        EXPECT_FALSE(vc.selectionChanged());
        EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    }
    QTemporaryDir dir;
    QString first, second;
    test::Editor editor;
};

TEST_F(RenderRaces, HundredsOfRapidRequestsShowTheLastOnesSettings) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(first));
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    constexpr int kRequests = 400;
    for (int i = 0; i < kRequests; ++i) {
        vc.sliderBrightness->moveTo(float(i % 41) / 100.f - 0.2f);
        if (i % 3 == 0) vc.sliderHue->moveTo(float(i % 360));
        if (i % 17 == 0) vc.checkSepia->click();
        if (i % 29 == 0) vc.checkRotate->click();
        // Let completions run between some of the requests, as the event
        // loop does while the user drags a slider.
        if (i % 5 == 0) QCoreApplication::processEvents();
    }
    ASSERT_TRUE(editor.WaitUntilIdle(120000));
    ExpectIdle();
    EXPECT_GT(started.count(), 1);
    EXPECT_LT(started.count(), kRequests) << "requests during a pass must be merged";
    EXPECT_EQ(vc.imageView->image(), Expected(first));
    EXPECT_EQ(vc.textFieldWidth->text().toInt(), vc.imageView->image().width());
}

TEST_F(RenderRaces, OpeningAndNewDuringPassesShowTheLastPictureOpened) {
    ViewController& vc = *editor.controller;
    vc.sliderContrast->moveTo(1.4f);
    for (int round = 0; round < 30; ++round) {
        vc.LoadOriginalImage(round % 2 ? second : first);
        if (round % 3 == 0) QCoreApplication::processEvents();
        vc.sliderGamma->moveTo(1.f + float(round) / 30.f);
        if (round % 4 == 0) vc.OnFileNew();
        if (round % 5 == 0) QCoreApplication::processEvents();
    }
    vc.OnFileNew();
    ASSERT_TRUE(editor.WaitUntilIdle(120000));
    ExpectIdle();
    EXPECT_TRUE(vc.imageView->image().isNull());
    EXPECT_EQ(vc.textFieldWidth->text(), "0");
    EXPECT_FALSE(vc.buttonSaveImage->isEnabled());

    vc.LoadOriginalImage(first);
    vc.LoadOriginalImage(second);  // during the pass the first opening started
    ASSERT_TRUE(editor.WaitUntilIdle(120000));
    ExpectIdle();
    EXPECT_TRUE(editor.dialogs->alerts.isEmpty());
    EXPECT_EQ(vc.originalImagePath, second);
    EXPECT_EQ(vc.imageView->image(), Expected(second));
    EXPECT_EQ(vc.stateImagesPath.size(), 1) << "the history restarts with each opening";
}

}  // namespace
}  // namespace lumetra
