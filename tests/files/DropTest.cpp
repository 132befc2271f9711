// SPDX-License-Identifier: GPL-3.0-or-later
// Dropping files on the preview, and choosing the logo. What a drop makes
// of a damaged file is in the hostile corpus (tests/robustness).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include "files/CustomImageView.h"
#include "files/FileTestTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::Editor;
using test::FakeDialogs;

const char* const kQuestion =
    "All unsaved changes will be lost. Are you sure you want to add a new image?";

class Drop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        photo = test::WriteImageFile(dir, "photo.png", test::PhotoLike(30, 20));
        other = test::WriteImageFile(dir, "Photo.JPG", test::PhotoLike(40, 10), "jpeg");
    }
    static std::unique_ptr<QMimeData> Files(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        return data;
    }
    bool DropAndWait(const QString& path) {
        QSignalSpy finished(editor.controller.get(), &ViewController::renderPassFinished);
        if (!editor.controller->imageView->performDragOperation(Files({path}).get())) return false;
        return finished.wait(10000) && editor.WaitUntilIdle();
    }
    QTemporaryDir dir;
    QString photo;
    QString other;
    Editor editor;
};

TEST_F(Drop, TheFirstDropAsksNothingAndOneOnAnOpenPictureAsksAndNoChangesNothing) {
    ASSERT_TRUE(DropAndWait(photo));
    EXPECT_TRUE(editor.dialogs->questions.isEmpty());
    ViewController& vc = *editor.controller;
    EXPECT_EQ(vc.originalImagePath, photo);
    vc.sliderBrightness->moveTo(0.2f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    const QStringList history = vc.stateImagesPath;
    const EditSettings settings = vc.CurrentSettings();

    editor.dialogs->yesNoAnswers.enqueue(false);
    EXPECT_FALSE(vc.imageView->performDragOperation(Files({other}).get()));
    ASSERT_EQ(editor.dialogs->questions, QStringList{kQuestion});
    EXPECT_EQ(vc.originalImagePath, photo);
    EXPECT_EQ(vc.stateImagesPath, history);
    EXPECT_TRUE(vc.CurrentSettings() == settings);

    editor.dialogs->yesNoAnswers.enqueue(true);
    ASSERT_TRUE(DropAndWait(other));  // Photo.JPG: upper-case extension
    EXPECT_EQ(vc.originalImagePath, other);
    EXPECT_EQ(vc.originalImageName, "Photo");
    EXPECT_EQ(vc.stateImagesPath.size(), 1);
}

TEST_F(Drop, APictureWithoutAnExtensionTheEditorTakesIsRefusedSilentlyAfterTheQuestion) {
    ASSERT_TRUE(DropAndWait(photo));
    ViewController& vc = *editor.controller;
    for (const char* name : {"photo.pcx", "noextension"}) {
        ASSERT_TRUE(test::WriteBytes(dir.filePath(name), test::ReadBytes(photo)));
        editor.dialogs->questions.clear();
        editor.dialogs->yesNoAnswers.enqueue(true);
        EXPECT_FALSE(vc.imageView->performDragOperation(Files({dir.filePath(name)}).get()));
        EXPECT_EQ(editor.dialogs->questions.size(), 1) << name;  // asked first, then refused
    }
    auto noUrls = std::make_unique<QMimeData>();
    noUrls->setText(photo);
    EXPECT_FALSE(vc.imageView->performDragOperation(noUrls.get()));
    EXPECT_EQ(vc.originalImagePath, photo);
    EXPECT_TRUE(editor.dialogs->alerts.isEmpty());
}

TEST_F(Drop, ANotificationWithoutAPathGetsTheAlert) {
    editor.controller->DragPerformed(QVariantMap());
    editor.controller->DragPerformed(QVariantMap{{"path", 42}});
    ASSERT_EQ(editor.dialogs->alerts.size(), 2);
    EXPECT_EQ(editor.dialogs->alerts.first().text, "The image could not be loaded.");
    EXPECT_TRUE(editor.controller->originalImagePath.isEmpty());
}

TEST_F(Drop, ALogoIsChosenAndRendersOnlyWithItsWatermarkOn) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(photo));
    const QString logo = test::WriteImageFile(dir, "logo.png", test::PhotoLike(12, 6, true));
    QSignalSpy started(&vc, &ViewController::renderPassStarted);

    editor.dialogs->openAnswers.enqueue(FakeDialogs::Choose(logo));
    vc.OnSelectLogo();
    EXPECT_EQ(editor.dialogs->openExtensions.last(), QStringList({"png", "jpg", "jpeg"}));
    EXPECT_EQ(vc.textFieldImage->text(), "logo.png");
    EXPECT_EQ(vc.logo.width(), 12);
    EXPECT_EQ(started.count(), 0);

    vc.checkImageWatermark->setChecked(true);
    ASSERT_TRUE(test::WriteBytes(dir.filePath("bad.png"), "nope"));
    editor.dialogs->openAnswers.enqueue(FakeDialogs::Choose(dir.filePath("bad.png")));
    vc.OnSelectLogo();  // unreadable: nothing changes, nothing is said
    EXPECT_EQ(vc.textFieldImage->text(), "logo.png");
    EXPECT_EQ(started.count(), 0);
    EXPECT_TRUE(editor.dialogs->alerts.isEmpty());

    editor.dialogs->openAnswers.enqueue(FakeDialogs::Choose(logo));
    vc.OnSelectLogo();
    EXPECT_EQ(started.count(), 1);
    ASSERT_TRUE(editor.WaitUntilIdle());
}

}  // namespace
}  // namespace lumetra
