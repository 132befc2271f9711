// SPDX-License-Identifier: GPL-3.0-or-later
// The source file deleted, replaced by something that is not a picture, or
// made unreadable while the editor runs: the next pass ends cleanly and
// says why, saving still writes what is shown, and the carry-over of the
// source's properties stops without a word.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>

#include "files/CustomImageView.h"
#include "files/FileTestTools.h"
#include "files/ImageReader.h"
#include "support/TestImages.h"
#include "support/Unprivileged.h"

namespace lumetra {
namespace {

const QByteArray kCameraName("VanishCam 3000");

struct VanishCase {
    const char* label;
    std::function<bool(const QString& source)> vanish;
};

class SourceVanishes : public ::testing::TestWithParam<VanishCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath("shot.jpg");
        ASSERT_TRUE(test::WriteBytes(source, test::CameraJpeg(kCameraName)));
    }
    QString Save(const QString& name) {
        editor.dialogs->saveAnswers.enqueue(test::FakeDialogs::Choose(dir.filePath(name)));
        test::StdoutCapture capture;
        editor.controller->OnSaveImage();
        return capture.Finish();
    }
    QTemporaryDir dir;
    QString source;
    test::Editor editor;
};

TEST_P(SourceVanishes, ThePassEndsCleanlyAndSavingWritesTheShownResult) {
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(source));
    vc.checkKeepExifInfo->setChecked(true);
    vc.comboFormat->setCurrentIndex(0);  // JPG
    vc.sliderQuality->moveTo(100.f);

    // While the source is there, the camera's name goes over with a save.
    Save("before.jpg");
    ASSERT_EQ(editor.dialogs->alerts.last().text, "Image saved successfully.");
    ASSERT_TRUE(test::ReadBytes(dir.filePath("before.jpg")).contains(kCameraName));

    const QImage shown = vc.imageView->image();
    ASSERT_TRUE(GetParam().vanish(source));
    QSignalSpy messages(&vc, &ViewController::statusMessage);
    vc.sliderBrightness->moveTo(0.3f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_FALSE(vc.updating());
    EXPECT_FALSE(vc.selectionChanged());
    EXPECT_FALSE(vc.progressIndicator->isVisibleTo(&vc));
    EXPECT_EQ(vc.imageView->image(), shown) << "the preview must stay as it was";
    ASSERT_GE(messages.count(), 1);
    EXPECT_TRUE(messages.last().at(0).toString().contains("can no longer be read"))
        << messages.last().at(0).toString().toStdString();

    const QString printed = Save("after.jpg");
    ASSERT_EQ(editor.dialogs->alerts.last().text, "Image saved successfully.");
    EXPECT_FALSE(printed.contains("ERROR")) << "the carry-over stops silently";
    const QByteArray saved = test::ReadBytes(dir.filePath("after.jpg"));
    EXPECT_FALSE(saved.contains(kCameraName)) << "nothing can be carried over from a lost source";
    const ReadResult read = ReadImageFile(dir.filePath("after.jpg"));
    ASSERT_TRUE(read.ok());
    const QImage written = read.image.toQImage();
    ASSERT_EQ(written.size(), shown.size());
    double difference = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            difference += std::abs(qGreen(written.pixel(x, y)) - qGreen(shown.pixel(x, y)));
    EXPECT_LT(difference / (shown.width() * shown.height()), 2.0)
        << "the saved picture is not the shown one";
}

INSTANTIATE_TEST_SUITE_P(
    WhileEditing, SourceVanishes,
    ::testing::Values(
        VanishCase{"Deleted", [](const QString& path) { return QFile::remove(path); }},
        VanishCase{"ReplacedByText",
                   [](const QString& path) { return test::WriteBytes(path, "no photo now\n"); }},
        VanishCase{"MadeUnreadable",
                   [](const QString& path) {
                       return test::PermissionBitsBind() &&
                              QFile::setPermissions(path, QFileDevice::WriteOwner);
                   }}),
    [](const ::testing::TestParamInfo<VanishCase>& info) { return info.param.label; });

}  // namespace
}  // namespace lumetra
