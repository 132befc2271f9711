// SPDX-License-Identifier: GPL-3.0-or-later
// The render pass as the window runs it: the busy indicator while passes
// are owed, and the engine's frames given back after a quiet spell. (The
// scheduling rules: RenderScheduler; the size fields: Export.)
#include "support/WidgetTest.h"

#include "render/BufferPool.h"

namespace lumetra {
namespace {

class RenderPass : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = test::WriteImageFile(dir, "photo.png", test::PhotoLike(40, 20));
        ASSERT_FALSE(path.isEmpty());
    }
    QTemporaryDir dir;
    QString path;
    test::Editor editor;
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
    EXPECT_EQ(AcquireImage(3000, 2000, QImage::Format_Grayscale8).format(),
              QImage::Format_Grayscale8);
    ReleaseCachedBuffers();
}

TEST_F(RenderPass, TheEngineGivesItsFramesBackAfterAQuietSpell) {
    const QString large = test::WriteImageFile(dir, "large.png", test::PhotoLike(1600, 1200));
    ASSERT_TRUE(editor.Open(large));
    editor.controller->checkBlur->click();  // float frames for the blur
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_GT(CachedBufferBytes(), 0u);  // held for the next pass (30 s)
    // The quiet spell shortened: the running timer starts again with it.
    editor.controller->setIdleReleaseDelay(1);
    EXPECT_TRUE(QTest::qWaitFor([] { return CachedBufferBytes() == 0; }, 10000))
        << "the frames were kept after the quiet spell";
}

TEST_F(RenderPass, TheProgressShowsUntilTheLastOwedPassIsShown) {
    test::GatedRender gate;
    ViewController& vc = *editor.controller;
    vc.setRenderFunction(gate.Function());
    QSignalSpy finished(&vc, &ViewController::renderPassFinished);
    vc.LoadOriginalImage(path);  // first pass, held at the gate
    EXPECT_TRUE(vc.progressIndicator->isVisibleTo(&vc));
    vc.sliderBrightness->moveTo(0.3f);  // owes one more pass
    gate.Release();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(vc.progressIndicator->isVisibleTo(&vc));
    gate.Release();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    EXPECT_FALSE(vc.updating());
}

}  // namespace
}  // namespace lumetra
