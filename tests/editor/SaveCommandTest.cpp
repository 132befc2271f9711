// SPDX-License-Identifier: GPL-3.0-or-later
// The save command on the real controller: names, size, messages, and the
// window held while the file is written.
#include "support/WidgetTest.h"

#include <QFileInfo>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include "files/Export.h"
#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/ImageReader.h"
#include "render/ImageTools.h"

namespace lumetra {
namespace {

TEST(SaveNames, AreTheSourcesNameProcessedWithTheFormatsExtension) {
    EXPECT_EQ(NameWithoutExtension("/d/beach.day.JPG"), "beach.day");
    EXPECT_EQ(NameWithoutExtension("/d/.hidden"), ".hidden");
    EXPECT_EQ(ProcessedFileName("beach", "png"), "beach_processed.png");
    EXPECT_EQ(ProcessedFileName("beach", "png", 2), "beach_processed-2.png");
    EXPECT_EQ(PathWithExtension("/d/out.png", "jpg"), "/d/out.png.jpg");
    EXPECT_EQ(PathWithExtension("/d/upper.JPG", "jpg"), "/d/upper.JPG");
    EXPECT_EQ(PathWithExtension("/d/out.", "jpg"), "/d/out.jpg");
    EXPECT_EQ(PathWithExtension("/d/.jpg", "jpg"), "/d/.jpg.jpg");
}

class SaveCommand : public ::testing::Test {
  protected:
    void Open(const QString& name, int w, int h, const char* format = nullptr) {
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, name, test::PhotoLike(w, h), format)));
    }
    QString Save(const QString& name) {  // returns what was printed
        editor.dialogs->saveAnswers.enqueue(test::FakeDialogs::Choose(dir.filePath(name)));
        test::StdoutCapture capture;
        vc.OnSaveImage();
        return capture.Finish();
    }
    QSize SavedSize(const QString& name) {
        const ReadResult read = ReadImageFile(dir.filePath(name));
        return read.ok() ? QSize(read.image.width(), read.image.height()) : QSize();
    }
    QByteArray Bytes(const QString& name) { return test::ReadBytes(dir.filePath(name)); }
    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

TEST_F(SaveCommand, ProposesTheNameAndSavesInTheChosenFormatUnderItsExtension) {
    Open("beach.JPG", 60, 40, "jpeg");
    vc.comboFormat->setCurrentIndex(5);  // PNG
    const QString printed = Save("beach_processed.png");
    EXPECT_EQ(editor.dialogs->proposedSaveNames.last(), "beach_processed.png");
    EXPECT_EQ(editor.dialogs->saveTitles.last(), "Save Image");
    EXPECT_EQ(editor.dialogs->alerts.value(0).text, "Image saved successfully.");
    EXPECT_TRUE(Bytes("beach_processed.png").startsWith("\x89PNG"));
    EXPECT_EQ(SavedSize("beach_processed.png"), QSize(60, 40));
    // A new file: removing the old one had nothing to remove.
    EXPECT_TRUE(printed.startsWith("Remove failed: ")) << printed.toStdString();

    vc.comboFormat->setCurrentIndex(0);  // JPG
    Save("out.png");
    EXPECT_EQ(editor.dialogs->proposedSaveNames.last(), "beach_processed.jpg");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.png")));
    EXPECT_TRUE(Bytes("out.png.jpg").startsWith("\xff\xd8"));
    EXPECT_TRUE(editor.dialogs->questions.isEmpty());
    // The name with the extension added exists: "No" writes nothing.
    const QByteArray before = Bytes("out.png.jpg");
    vc.sliderQuality->setFloatValue(20.f);
    editor.dialogs->yesNoAnswers.enqueue(false);
    Save("out.png");
    ASSERT_EQ(editor.dialogs->questions.size(), 1);
    EXPECT_TRUE(editor.dialogs->questions.last().contains("out.png.jpg"));
    EXPECT_EQ(Bytes("out.png.jpg"), before);
}

TEST_F(SaveCommand, KeepAspectAgreesTheSizeBeforeSavingAndWithoutItThePictureIsSqueezed) {
    Open("wide.png", 300, 100);
    vc.comboFormat->setCurrentIndex(9);  // BMP
    vc.textFieldWidth->setText("100");
    Save("small.bmp");
    EXPECT_EQ(vc.textFieldHeight->text(), "33");
    EXPECT_EQ(vc.textFieldWidth->text(), "99");
    EXPECT_EQ(SavedSize("small.bmp"), QSize(99, 33));
    vc.checkKeepAspect->setChecked(false);
    vc.textFieldWidth->setText("50");
    vc.textFieldHeight->setText("50");
    Save("square.bmp");
    EXPECT_EQ(SavedSize("square.bmp"), QSize(50, 50));
}

// The file is written on a thread of its own; meanwhile input and commands are dropped.
TEST_F(SaveCommand, NoCommandOrInputTakesEffectWhileTheFileIsWritten) {
    Open("photo.png", 60, 40);
    vc.show();
    vc.comboFormat->setCurrentIndex(5);
    QSemaphore gate;
    const QThread* window = QThread::currentThread();
    bool offThread = false;
    vc.setSaveFunction([&](const QImage& picture, const QString& path, int index, double q) {
        gate.acquire();
        offThread = QThread::currentThread() != window;
        return ImageTools::SaveImage(picture, path, index, q);
    });
    bool saving = false, indicatorShown = false, closed = true;  // checked after Save()
    QTimer::singleShot(0, &vc, [&] {
        saving = vc.isSaving();
        indicatorShown = !vc.progressIndicator->isHidden();
        QTest::mouseClick(vc.checkSepia, Qt::LeftButton);
        QTest::keyClick(vc.textFieldWidth, Qt::Key_5);
        vc.OnSaveImage();
        vc.OnFileNew();
        vc.OnAppQuit();
        closed = vc.windowShouldClose();
        gate.release();
    });
    Save("photo_processed.png");
    EXPECT_TRUE(saving && offThread && indicatorShown);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(vc.checkSepia->isChecked()) << "a click got through";
    EXPECT_EQ(vc.textFieldWidth->text(), "60") << "a key got through";
    EXPECT_FALSE(vc.isSaving() || !vc.progressIndicator->isHidden());
    EXPECT_TRUE(vc.imageView->hasImage()) << "New was not held off";
    EXPECT_EQ(editor.dialogs->proposedSaveNames.size(), 1);
    EXPECT_EQ(SavedSize("photo_processed.png"), QSize(60, 40));
    QTest::mouseClick(vc.checkSepia, Qt::LeftButton);  // input reaches the window again
    EXPECT_TRUE(vc.checkSepia->isChecked());
}

}  // namespace
}  // namespace lumetra
