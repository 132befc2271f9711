// SPDX-License-Identifier: GPL-3.0-or-later
// Every save that cannot succeed, in one table: into a read-only folder, over
// a read-only file, into a folder that has vanished, onto a folder, on a full
// disk in each format, pictures no encoder or size allows, and the
// properties' rewrite of a saved file cut short. Each fails, leaves the file
// that stood at the path byte for byte and with its date, makes no file
// where none stood, and leaves no temporary file behind; through the save
// command, it says so.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <memory>

#include "files/AtomicFile.h"
#include "files/CustomImageView.h"
#include "files/FileTestTools.h"
#include "files/ImageFiles.h"
#include "files/Metadata.h"
#include "robustness/HostileFiles.h"
#include "support/TestImages.h"
#include "support/Unprivileged.h"

namespace lumetra {
namespace {

enum class Obstacle { None, ReadOnlyFolder, ReadOnlyFile, FolderVanished, PathIsAFolder };

struct FailingSave {
    const char* label;
    bool overAFile;  // a picture of the user's stands at the path
    Obstacle obstacle;
    std::function<bool(const QString& path)> save;
};

void PrintTo(const FailingSave& c, std::ostream* out) {
    *out << c.label;
}

std::function<bool(const QString&)> Save(int index, const QImage& picture, double quality = 0.8) {
    return
        [=](const QString& path) { return ImageTools::SaveImage(picture, path, index, quality); };
}

// A 300 x 200 photo saved while the file system takes no more than 4 KB.
std::function<bool(const QString&)> OnAFullDisk(int index) {
    return [index](const QString& path) {
        const QImage photo = test::PhotoLike(300, 200);
        test::FileSizeLimit limit(4096);
        return ImageTools::SaveImage(photo, path, index, 1.0);
    };
}

// A picture of the given pixels drawn at the given device pixel ratio.
QImage Sized(int width, int height, double ratio) {
    QImage image = test::PhotoLike(width, height);
    image.setDevicePixelRatio(ratio);
    return image;
}

QImage Wide() {
    QImage wide(70000, 1, QImage::Format_RGBA8888);
    wide.fill(Qt::green);
    return wide;
}

// Writes data atomically while the file system takes no more than limit bytes.
std::function<bool(const QString&)> Cut(qsizetype size, qsizetype limit) {
    return [=](const QString& path) {
        const QByteArray data(size, 'n');
        test::FileSizeLimit cap(limit);
        QString error;
        const bool written = WriteFileAtomically(path, data, &error);
        return written || error.isEmpty();
    };
}

// Carries a camera's properties over onto the saved file, which must grow
// and may not.
bool RewriteOnAFullDisk(const QString& saved) {
    static const QTemporaryDir folder;
    const QString source = folder.filePath("camera.jpg");
    if (!test::WriteBytes(source, test::CameraJpeg("Full Disk Camera"))) return true;
    test::FileSizeLimit limit(QFileInfo(saved).size());
    const PropertiesCopy copy = CopyImageProperties(source, saved);
    ImageTools::ChangeImageExifWithOriginalImagePath(source, saved);
    return copy != PropertiesCopy::Failed;
}

const QImage kPhoto = test::PhotoLike(120, 80);
const double kNan = std::nan("");
using O = Obstacle;

const FailingSave kFailingSaves[] = {
    {"NewFileInAReadOnlyFolder", false, O::ReadOnlyFolder, Save(5, kPhoto)},
    {"OverAFileInAReadOnlyFolder", true, O::ReadOnlyFolder, Save(5, kPhoto)},
    {"OverAReadOnlyFile", true, O::ReadOnlyFile, Save(5, kPhoto)},
    {"IntoAFolderThatVanished", false, O::FolderVanished, Save(5, kPhoto)},
    {"OntoAFolder", false, O::PathIsAFolder, Save(5, kPhoto)},
    {"ToAnEmptyPath", true, O::None, [](const QString&) { return Save(5, kPhoto)(QString()); }},
    {"NewFileOnAFullDisk", false, O::None, OnAFullDisk(5)},
    {"OverAJpegOnAFullDisk", true, O::None, OnAFullDisk(0)},
    {"OverAJpeg2000OnAFullDisk", true, O::None, OnAFullDisk(3)},
    {"OverAPngOnAFullDisk", true, O::None, OnAFullDisk(5)},
    {"OverATiffOnAFullDisk", true, O::None, OnAFullDisk(6)},
    {"OverAGifOnAFullDisk", true, O::None, OnAFullDisk(8)},
    {"OverABmpOnAFullDisk", true, O::None, OnAFullDisk(9)},
    {"CutOneByteShortOfThreeMegabytes", true, O::None, Cut(3000000, 2999999)},
    {"CutHalfwayThroughAHundredBytes", true, O::None, Cut(100, 50)},
    {"NothingToWrite", true, O::None, Cut(0, 1 << 20)},
    {"PropertiesRewriteOnAFullDisk", true, O::None, RewriteOnAFullDisk},
    {"UnknownFormatIndex", true, O::None, Save(12, kPhoto)},
    {"NegativeFormatIndex", true, O::None, Save(-1, kPhoto)},
    {"NoPicture", true, O::None, Save(0, QImage())},
    {"JpegQualityNotANumber", true, O::None, Save(0, kPhoto, kNan)},
    {"Jpeg2000QualityNotANumber", true, O::None, Save(3, kPhoto, kNan)},
    {"GifWiderThanItCanRecord", true, O::None, Save(8, Wide())},
    {"JpegWiderThanItCanRecord", true, O::None, Save(0, Wide())},
    {"HalfAPointWide", true, O::None, Save(0, Sized(1, 10, 2.0))},
    {"TwoThirdsOfAPointHigh", true, O::None, Save(3, Sized(10, 1, 1.5))},
    {"ASizeThatIsNotANumber", true, O::None, Save(5, Sized(10, 10, kNan))},
    {"ASizeBeyondAnyInteger", true, O::None, Save(8, Sized(10, 10, 1e-300))},
    {"TenGigapixelsRefusedBeforeDrawing", true, O::None, Save(5, Sized(100, 100, 1e-3))},
};

class FailingSaves : public ::testing::TestWithParam<FailingSave> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test::PermissionBitsBind()) << "file permissions do not bind this test";
        folder = dir.filePath("album");
        ASSERT_TRUE(QDir().mkdir(folder));
        target = QDir(folder).filePath("photo.png");
    }
    void TearDown() override {
        // Give the folder back its permissions so that it can be removed.
        if (QFileInfo::exists(folder))
            QFile::setPermissions(
                folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QTemporaryDir dir;
    QString folder, target;
};

TEST_P(FailingSaves, FailAndLeaveWhatStoodThere) {
    const FailingSave& c = GetParam();
    const QByteArray precious = test::SoundFile("png");
    const QDateTime farOff(QDate(2031, 5, 6), QTime(7, 8, 9), Qt::UTC);
    if (c.overAFile) {
        ASSERT_TRUE(test::WriteBytes(target, precious));
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(farOff, QFileDevice::FileModificationTime));
    }
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    ASSERT_TRUE((c.obstacle != O::ReadOnlyFolder || QFile::setPermissions(folder, readOnly)) &&
                (c.obstacle != O::ReadOnlyFile || QFile::setPermissions(target, readOnly)) &&
                (c.obstacle != O::FolderVanished || QDir(folder).removeRecursively()) &&
                (c.obstacle != O::PathIsAFolder || QDir().mkdir(target)));
    const QStringList before = test::FolderEntries(folder);
    const QStringList topBefore = test::FolderEntries(dir.path());

    EXPECT_FALSE(c.save(target));

    EXPECT_EQ(test::FolderEntries(folder), before) << "a temporary file was left behind";
    EXPECT_EQ(test::FolderEntries(dir.path()), topBefore);
    if (c.overAFile) {
        EXPECT_EQ(test::ReadBytes(target), precious);
        EXPECT_EQ(QFileInfo(target).lastModified(), farOff);
    } else if (c.obstacle == O::PathIsAFolder) {
        EXPECT_TRUE(QFileInfo(target).isDir());
        EXPECT_TRUE(test::FolderEntries(target).isEmpty());
    } else {
        EXPECT_FALSE(QFileInfo::exists(target));
    }
}

// Through the save command: a size of nothing, a folder that has vanished,
// a read-only folder over a file of the user's and a full disk each give
// the warning, leave what stood there, and leave the editor as it was,
// ready to save again.
TEST(FailingSaveCommand, SaysCouldNotSaveAndKeepsThePictureToSaveAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(test::PermissionBitsBind()) << "file permissions do not bind this test";
    test::Editor editor;
    ViewController& vc = *editor.controller;
    ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "photo.png", test::PhotoLike(120, 80))));
    vc.comboFormat->setCurrentIndex(5);  // PNG
    const QString album = dir.filePath("album"), kept = dir.filePath("album/photo_processed.png");
    ASSERT_TRUE(QDir().mkdir(album) && test::WriteBytes(kept, test::SoundFile("png")));
    const auto save = [&](const QString& path) {
        editor.dialogs->saveAnswers.enqueue(test::FakeDialogs::Choose(path));
        test::StdoutCapture quiet;
        vc.OnSaveImage();
        return editor.dialogs->alerts.last();
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        vc.textFieldWidth->setText(attempt == 0 ? "0" : "120");
        QFile::setPermissions(album, attempt == 2 ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                  : QFile::permissions(dir.path()));
        std::unique_ptr<test::FileSizeLimit> full;
        if (attempt == 3) full = std::make_unique<test::FileSizeLimit>(4096);
        const auto alert = save(attempt == 1 ? dir.filePath("gone/photo.png") : kept);
        full.reset();
        EXPECT_EQ(alert.text, "Could not save the image.") << attempt;
        EXPECT_EQ(alert.style, Dialogs::AlertStyle::Warning) << attempt;
        EXPECT_EQ(test::ReadBytes(kept), test::SoundFile("png")) << attempt;
        EXPECT_EQ(test::FolderEntries(album), QStringList{"photo_processed.png"}) << attempt;
        EXPECT_EQ(vc.imageView->image().size(), QSize(120, 80));
    }
    EXPECT_EQ(save(dir.filePath("photo_processed.png")).text, "Image saved successfully.");
}

INSTANTIATE_TEST_SUITE_P(Table, FailingSaves, ::testing::ValuesIn(kFailingSaves),
                         [](const ::testing::TestParamInfo<FailingSave>& info) {
                             return info.param.label;
                         });

}  // namespace
}  // namespace lumetra
