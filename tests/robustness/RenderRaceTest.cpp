// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass, its merge rule and its completion under a storm of
// requests, with real passes on the worker: hundreds of changes, opening
// another picture during a pass, New during a pass. The ThreadSanitizer
// build runs these; in every build the shown result must be the one the
// last request's settings give.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <stdexcept>

#include "files/RenderJob.h"
#include "files/CustomImageView.h"
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

TEST_F(RenderRaces, OpeningDuringAPassShowsTheNewPicture) {
    ViewController& vc = *editor.controller;
    vc.sliderContrast->moveTo(1.4f);
    for (int round = 0; round < 20; ++round) {
        vc.LoadOriginalImage(round % 2 ? second : first);
        if (round % 3 == 0) QCoreApplication::processEvents();
        vc.sliderBrightness->moveTo(float(round) / 100.f);
    }
    vc.LoadOriginalImage(second);  // during the pass the last change started
    ASSERT_TRUE(editor.WaitUntilIdle(120000));
    ExpectIdle();
    EXPECT_TRUE(editor.dialogs->alerts.isEmpty());
    EXPECT_EQ(vc.originalImagePath, second);
    EXPECT_EQ(vc.imageView->image(), Expected(second));
    EXPECT_EQ(vc.stateImagesPath.size(), 1) << "the history restarts with each opening";
}

TEST_F(RenderRaces, NewDuringAPassLeavesAnEmptyEditor) {
    ViewController& vc = *editor.controller;
    for (int round = 0; round < 30; ++round) {
        vc.LoadOriginalImage(round % 2 ? first : second);
        vc.sliderGamma->moveTo(1.f + float(round) / 30.f);
        if (round % 4 == 0) QCoreApplication::processEvents();
        vc.OnFileNew();
        if (round % 5 == 0) QCoreApplication::processEvents();
    }
    ASSERT_TRUE(editor.WaitUntilIdle(120000));
    ExpectIdle();
    EXPECT_TRUE(vc.imageView->image().isNull());
    EXPECT_EQ(vc.textFieldWidth->text(), "0");
    EXPECT_FALSE(vc.buttonSaveImage->isEnabled());

    // And the editor works as before afterwards.
    ASSERT_TRUE(editor.Open(first));
    vc.sliderBrightness->moveTo(0.25f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.imageView->image(), Expected(first));
}

TEST_F(RenderRaces, ARenderThatThrowsEndsThePassAndKeepsThePreview) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(first));
    const QImage shown = vc.imageView->image();
    vc.setRenderFunction([](const QString&, const EditSettings&, const Image&) -> RenderResult {
        throw std::runtime_error("a stage failed");
    });
    QSignalSpy messages(&vc, &ViewController::statusMessage);
    vc.sliderBrightness->moveTo(0.2f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    ExpectIdle();
    EXPECT_EQ(vc.imageView->image(), shown);
    ASSERT_GE(messages.count(), 1);
    EXPECT_TRUE(messages.last().at(0).toString().contains("could not be rendered"));

    // The worker lives on: the next pass renders as usual.
    vc.setRenderFunction(&RunRenderPass);
    vc.sliderBrightness->moveTo(0.1f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.imageView->image(), Expected(first));
}

}  // namespace
}  // namespace lumetra
