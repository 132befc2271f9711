// SPDX-License-Identifier: GPL-3.0-or-later
// A save that fails leaves the file that stood at the path byte for byte
// and no temporary file; a save that succeeds replaces it whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "files/AtomicFile.h"
#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "render/ImageTools.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::FolderEntries;
using test::ReadBytes;

class SaveSafety : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        existing = dir.filePath("holiday.jpg");
        original = QByteArray("the user's own file, which must survive\n").repeated(10);
        ASSERT_TRUE(test::WriteBytes(existing, original));
        entries = FolderEntries(dir.path());
    }
    void ExpectUntouched(const char* what) {
        EXPECT_EQ(ReadBytes(existing), original) << what;
        EXPECT_EQ(FolderEntries(dir.path()), entries) << what;
    }
    QTemporaryDir dir;
    QString existing;
    QByteArray original;
    QStringList entries;
};

TEST_F(SaveSafety, AnEncoderThatFailsLeavesTheFile) {
    const QImage photo = test::PhotoLike(40, 30);
    EXPECT_FALSE(ImageTools::SaveImage(photo, existing, 12, 0.8));
    ExpectUntouched("index 12");
    EXPECT_FALSE(ImageTools::SaveImage(photo, existing, -1, 0.8));
    ExpectUntouched("index -1");
    EXPECT_FALSE(ImageTools::SaveImage(QImage(), existing, 0, 0.8));
    ExpectUntouched("no picture");
    EXPECT_FALSE(ImageTools::SaveImage(photo, existing, 0, std::nan("")));
    ExpectUntouched("quality not a number");
    QImage wide(70000, 1, QImage::Format_RGBA8888);
    wide.fill(Qt::green);
    EXPECT_FALSE(ImageTools::SaveImage(wide, existing, 8, 0.8));
    ExpectUntouched("GIF too wide");
    EXPECT_FALSE(ImageTools::SaveImage(wide, existing, 0, 0.8));
    ExpectUntouched("JPEG too wide");
}

TEST_F(SaveSafety, AWriteCutShortByTheFileSizeLimitLeavesTheFile) {
    // The limit holds for root as well: the new file stops growing halfway
    // and the write fails, as on a full disk.
    const QImage photo = test::PhotoLike(300, 200);
    for (int index : {0, 3, 5, 6, 8, 9}) {
        bool saved = true;
        {
            test::FileSizeLimit limit(original.size() + 100);
            saved = ImageTools::SaveImage(photo, existing, index, 1.0);
        }
        EXPECT_FALSE(saved) << index;
        ExpectUntouched("file size limit");
    }
}

TEST_F(SaveSafety, APathThatCannotTakeAFileFails) {
    const QImage photo = test::PhotoLike(40, 30);
    ASSERT_TRUE(QDir(dir.path()).mkdir("album"));
    entries = FolderEntries(dir.path());
    // A folder that does not exist, and a path that is a folder.
    EXPECT_FALSE(ImageTools::SaveImage(photo, dir.filePath("missing/x.png"), 5, 0.8));
    EXPECT_FALSE(ImageTools::SaveImage(photo, dir.filePath("album"), 5, 0.8));
    EXPECT_TRUE(QFileInfo(dir.filePath("album")).isDir());
    EXPECT_TRUE(FolderEntries(dir.filePath("album")).isEmpty());
    EXPECT_FALSE(ImageTools::SaveImage(photo, QString(), 5, 0.8));
    ExpectUntouched("unusable paths");
}

TEST_F(SaveSafety, SavingOverAFileReplacesItAndKeepsItsPermissions) {
    const QFileDevice::Permissions permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(existing, permissions));
    ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(40, 30), existing, 0, 0.8));
    EXPECT_TRUE(ReadBytes(existing).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(test::DecodeFile(existing).size(), QSize(40, 30));
    // The "User" flags describe the running user's own access; compare the
    // owner, group and other bits that are stored with the file.
    const QFileDevice::Permissions userFlags =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    EXPECT_EQ(QFile::permissions(existing) & ~userFlags, permissions);
    EXPECT_EQ(FolderEntries(dir.path()), entries);
}

TEST_F(SaveSafety, SavingOverTheSourceItselfReadsBackTheNewPicture) {
    const QImage first = test::PhotoLike(50, 40);
    ASSERT_TRUE(ImageTools::SaveImage(first, existing, 5, 0.8));
    const QImage read = test::DecodeFile(existing);
    ASSERT_EQ(read.size(), QSize(50, 40));
    const QImage half = read.scaled(25, 20);
    ASSERT_TRUE(ImageTools::SaveImage(half, existing, 5, 0.8));
    EXPECT_EQ(test::DecodeFile(existing).size(), QSize(25, 20));
}

TEST_F(SaveSafety, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    const QString link = dir.filePath("link.png");
    ASSERT_TRUE(QFile::link(existing, link));
    ASSERT_TRUE(ImageTools::SaveImage(test::PhotoLike(16, 12), link, 5, 0.8));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::DecodeFile(existing).size(), QSize(16, 12));
}

TEST(AtomicFile, AWriteCutShortIsNeverPutInPlace) {
    // Small and large files, cut by a few bytes or by most of their length.
    QTemporaryDir dir;
    const QString path = dir.filePath("kept");
    const QByteArray original("old contents\n");
    for (qsizetype size : {qsizetype(100), qsizetype(20000), qsizetype(3000000)}) {
        for (qsizetype limit : {size - 1, size / 2}) {
            ASSERT_TRUE(test::WriteBytes(path, original));
            bool written = true;
            QString error;
            {
                test::FileSizeLimit cap(limit);
                written = WriteFileAtomically(path, QByteArray(size, 'n'), &error);
            }
            EXPECT_FALSE(written) << size << " cut at " << limit;
            EXPECT_FALSE(error.isEmpty());
            EXPECT_EQ(ReadBytes(path), original) << size << " cut at " << limit;
            EXPECT_EQ(FolderEntries(dir.path()), QStringList{"kept"});
        }
    }
}

TEST(AtomicFile, RefusesEmptyDataAndAnEmptyPath) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WriteFileAtomically(dir.filePath("a"), QByteArray(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(WriteFileAtomically(QString(), QByteArray("x"), &error));
    EXPECT_TRUE(FolderEntries(dir.path()).isEmpty());
    EXPECT_TRUE(WriteFileAtomically(dir.filePath("a"), QByteArray("x"), &error));
    EXPECT_EQ(ReadBytes(dir.filePath("a")), QByteArray("x"));
}

}  // namespace
}  // namespace lumetra
