// SPDX-License-Identifier: GPL-3.0-or-later
// Saves that cannot succeed, through the real save command: into a folder
// that is read-only, onto a full disk, into a folder that has vanished, and
// over a read-only file. Each says "Could not save the image.", leaves what
// stood at the path byte for byte and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "files/CustomImageView.h"
#include "files/FileTestTools.h"
#include "support/TestImages.h"
#include "support/Unprivileged.h"

namespace lumetra {
namespace {

struct FailingSave {
    const char* label;
    bool existingFile;  // a file of the user's stands at the path
    bool readOnlyFolder;
    bool readOnlyFile;
    bool folderVanishes;
    bool diskFull;  // the file system takes no more than a few bytes
};

void PrintTo(const FailingSave& c, std::ostream* out) {
    *out << c.label;
}

class FailingSaves : public ::testing::TestWithParam<FailingSave> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test::PermissionBitsBind()) << "file permissions do not bind this test";
        source = test::WriteImageFile(dir, "photo.png", test::PhotoLike(120, 80));
        ASSERT_TRUE(editor.Open(source));
        folder = dir.filePath("album");
        ASSERT_TRUE(QDir().mkdir(folder));
        target = QDir(folder).filePath("photo_processed.png");
    }
    void TearDown() override {
        // Give the folder back its permissions so that it can be removed.
        if (QFileInfo::exists(folder))
            QFile::setPermissions(
                folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QTemporaryDir dir;
    test::Editor editor;
    QString source, folder, target;
};

TEST_P(FailingSaves, SayCouldNotSaveAndLeaveWhatStoodThere) {
    const FailingSave c = GetParam();
    const QByteArray precious =
        QByteArray("the user's own picture, which must survive\n").repeated(8);
    if (c.existingFile) {
        ASSERT_TRUE(test::WriteBytes(target, precious));
    }
    if (c.readOnlyFile) {
        ASSERT_TRUE(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    }
    if (c.readOnlyFolder) {
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    if (c.folderVanishes) {
        ASSERT_TRUE(QDir(folder).removeRecursively());
    }
    const QStringList before = test::FolderEntries(folder);
    const QStringList topBefore = test::FolderEntries(dir.path());

    ViewController& vc = *editor.controller;
    vc.comboFormat->setCurrentIndex(5);  // PNG
    editor.dialogs->saveAnswers.enqueue(test::FakeDialogs::Choose(target));
    {
        std::unique_ptr<test::FileSizeLimit> limit;
        if (c.diskFull) limit = std::make_unique<test::FileSizeLimit>(precious.size() + 64);
        test::StdoutCapture quiet;
        vc.OnSaveImage();
    }

    ASSERT_FALSE(editor.dialogs->alerts.isEmpty());
    EXPECT_EQ(editor.dialogs->alerts.last().text, "Could not save the image.");
    EXPECT_EQ(editor.dialogs->alerts.last().style, Dialogs::AlertStyle::Warning);
    EXPECT_EQ(test::FolderEntries(folder), before) << "a temporary file was left behind";
    EXPECT_EQ(test::FolderEntries(dir.path()), topBefore);
    if (c.existingFile) {
        EXPECT_EQ(test::ReadBytes(target), precious);
    } else {
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    // The editor is as it was: the picture still shown, ready to save again.
    EXPECT_TRUE(vc.imageView->hasImage());
    EXPECT_EQ(vc.imageView->image().size(), QSize(120, 80));
}

INSTANTIATE_TEST_SUITE_P(
    SaveCommand, FailingSaves,
    ::testing::Values(FailingSave{"NewFileInAReadOnlyFolder", false, true, false, false, false},
                      FailingSave{"OverAFileInAReadOnlyFolder", true, true, false, false, false},
                      FailingSave{"NewFileOnAFullDisk", false, false, false, false, true},
                      FailingSave{"OverAFileOnAFullDisk", true, false, false, false, true},
                      FailingSave{"IntoAFolderThatVanished", false, false, false, true, false},
                      FailingSave{"OverAReadOnlyFile", true, false, true, false, false}),
    [](const ::testing::TestParamInfo<FailingSave>& info) { return info.param.label; });

}  // namespace
}  // namespace lumetra
