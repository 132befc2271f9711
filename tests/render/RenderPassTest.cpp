// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass as the window runs it: one pass at a time, requests during
// a pass folded into one more, the busy indicator and the size fields. (A
// source that can no longer be read is among the robustness tests.)
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "files/CustomImageView.h"
#include "render/BufferPool.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::Editor;
using test::GatedRender;

class RenderPass : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = test::WriteImageFile(dir, "photo.png", test::PhotoLike(40, 20));
        ASSERT_FALSE(path.isEmpty());
    }
    QTemporaryDir dir;
    QString path;
    Editor editor;
};

TEST(RecycledFrames, AnAcquiredPictureOutlivesItsFirstOwnerAndThenReturnsToThePool) {
    ReleaseCachedBuffers();
    QImage copy;
    {
        QImage image = AcquireImage(2000, 1000, QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull());
        image.fill(qRgba(10, 20, 30, 40));
        copy = image;  // shares the pixels
    }
    EXPECT_EQ(copy.pixel(1999, 999), qRgba(10, 20, 30, 40));
    EXPECT_EQ(CachedBufferBytes(), 0u);  // still in use
    copy = QImage();
    EXPECT_GE(CachedBufferBytes(), std::size_t(2000) * 1000 * 4);
    // The next picture of that size takes the same memory back.
    const QImage again = AcquireImage(1000, 2000, QImage::Format_RGB32);
    EXPECT_EQ(CachedBufferBytes(), 0u);
    // Small pictures and other depths are plain ones.
    EXPECT_FALSE(AcquireImage(10, 10, QImage::Format_ARGB32).isNull());
    EXPECT_EQ(AcquireImage(3000, 2000, QImage::Format_Grayscale8).format(), QImage::Format_Grayscale8);
    ReleaseCachedBuffers();
}

TEST_F(RenderPass, TheEngineGivesItsFramesBackAfterAQuietSpell) {
    const QString large = test::WriteImageFile(dir, "large.png", test::PhotoLike(1600, 1200));
    editor.controller->setIdleReleaseDelay(150);
    ASSERT_TRUE(editor.Open(large));
    editor.controller->checkBlur->click();  // float frames for the blur
    ASSERT_TRUE(editor.WaitForPass());
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_GT(CachedBufferBytes(), 0u);
    EXPECT_TRUE(QTest::qWaitFor([] { return CachedBufferBytes() == 0u; }, 10000));
}

TEST_F(RenderPass, NothingStartsWithoutAnImage) {
    QSignalSpy started(editor.controller.get(), &ViewController::renderPassStarted);
    editor.controller->sliderBrightness->moveTo(0.5f);
    editor.controller->UpdateImageEffect();
    EXPECT_FALSE(editor.controller->updating());
    EXPECT_FALSE(editor.controller->selectionChanged());
    EXPECT_FALSE(editor.controller->progressIndicator->isVisibleTo(editor.controller.get()));
    EXPECT_EQ(started.count(), 0);
}

TEST_F(RenderPass, TheProgressShowsUntilTheLastOwedPassIsShown) {
    GatedRender gate;
    ViewController& vc = *editor.controller;
    vc.setRenderFunction(gate.Function());
    QSignalSpy finished(&vc, &ViewController::renderPassFinished);
    vc.LoadOriginalImage(path);  // first pass, held at the gate
    const QImage opened = vc.imageView->image();
    EXPECT_TRUE(vc.progressIndicator->isVisibleTo(&vc));
    vc.sliderBrightness->moveTo(0.3f);  // owes one more pass
    gate.Release();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(vc.progressIndicator->isVisibleTo(&vc));
    EXPECT_EQ(vc.imageView->image(), opened) << "the interrupted pass's result was shown";
    gate.Release();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    // The shown result carries the last request's brightness.
    const QColor shown = vc.imageView->image().pixelColor(0, 0);
    const QColor source = opened.pixelColor(0, 0);
    EXPECT_NEAR(shown.redF(), std::min(1.0, source.redF() + 0.3), 1.5 / 255);
}

TEST_F(RenderPass, SizeFieldsShowTheRotatedCanvasAndZeroAfterReset) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(path));
    EXPECT_EQ(vc.textFieldWidth->text(), "40");
    EXPECT_EQ(vc.textFieldHeight->text(), "20");

    vc.sliderRotateAngle->moveTo(45.f);  // group off: no pass
    EXPECT_FALSE(vc.updating());
    vc.checkRotate->click();
    ASSERT_TRUE(editor.WaitUntilIdle());
    // 40 x 20 turned by 45 degrees: 42.43 x 42.43, cut to 42.
    EXPECT_EQ(vc.textFieldWidth->text(), "42");
    EXPECT_EQ(vc.textFieldHeight->text(), "42");

    vc.ResetInterface();
    EXPECT_EQ(vc.textFieldWidth->text(), "0");
    EXPECT_EQ(vc.textFieldHeight->text(), "0");
}

TEST_F(RenderPass, NewDuringAPassDoesNotBringThePictureBack) {
    GatedRender gate;
    ViewController& vc = *editor.controller;
    vc.setRenderFunction(gate.Function());
    vc.LoadOriginalImage(path);
    ASSERT_TRUE(vc.updating());
    vc.OnFileNew();
    gate.Release();
    ASSERT_TRUE(editor.WaitForPass());
    EXPECT_FALSE(vc.updating());
    EXPECT_TRUE(vc.imageView->image().isNull());
    EXPECT_EQ(vc.textFieldWidth->text(), "0");
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
}

}  // namespace
}  // namespace lumetra
