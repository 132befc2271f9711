// SPDX-License-Identifier: GPL-3.0-or-later
// Every hostile file through every way a picture comes in: the reader, the
// header probe, the open command, a drop on the preview and lumetra-batch
// (which carries the file's properties over too). None may crash, hang or
// take memory the size limit does not allow; a file that cannot be read
// gets the open command's alert and a named failure from the batch tool; a
// drop looks at the header only, so it is refused silently when the header
// is not a picture's and otherwise goes on to the open command; a damaged
// file that partly decodes opens with the status bar and the batch tool
// saying it is damaged.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include "files/CustomImageView.h"
#include "files/FileTestTools.h"
#include "files/ImageReader.h"
#include "robustness/HostileFiles.h"
#include "settings/SettingsText.h"
#include "support/TestImages.h"
#include "support/Unprivileged.h"

namespace lumetra {
namespace {

using test::HostileFile;
using test::Outcome;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kHangMs = 30000;  // sanitizers slow everything several times
#else
constexpr int kHangMs = 5000;
#endif
constexpr long kMaxGrowthKb = 512 * 1024;     // reading one small hostile file
constexpr long kMaxBatchRssKb = 1024 * 1024;  // a whole batch run on one

const char* const kCouldNotLoad = "The image could not be loaded.";

long PeakRssKb(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

std::string Describe(const ReadResult& read) {
    if (!read.ok()) return "refused: " + read.error.toStdString();
    return (read.damaged ? "damaged: " + read.damage.toStdString() : std::string("sound")) + " " +
           std::to_string(read.image.width()) + "x" + std::to_string(read.image.height());
}

class HostileFiles : public ::testing::TestWithParam<HostileFile> {
  protected:
    // The outcome this file must have; a cut file the decoder may refuse
    // or open as damaged is settled by reading it once.
    Outcome Expected() const {
        if (GetParam().outcome != Outcome::RefusedOrDamaged) return GetParam().outcome;
        return ReadImageFile(path).ok() ? Outcome::Damaged : Outcome::Refused;
    }
    // Whether the header probe (and so a drop) takes the file.
    bool HeaderTaken() const {
        const HostileFile::Header header = GetParam().header;
        if (header != HostileFile::Header::AsReading) return header == HostileFile::Header::Sound;
        return GetParam().outcome != Outcome::Refused;
    }
    // A header claiming more pixels than the editor accepts.
    bool ClaimsTooMuch() const {
        const std::string& label = GetParam().label;
        return label.find("Claiming") != std::string::npos ||
               label.find("65535") != std::string::npos;
    }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(GetParam().fileName);
        ASSERT_TRUE(GetParam().make(path)) << "could not make " << path.toStdString();
        if (GetParam().label == "JpegWithoutReadPermission") {
            ASSERT_TRUE(test::PermissionBitsBind())
                << "file permissions do not bind this test: it cannot make an unreadable file";
        }
    }
    QTemporaryDir dir;
    QString path;
};

TEST_P(HostileFiles, TheReaderAndTheHeaderProbeGiveTheOutcomeWithinMemory) {
    const HostileFile& file = GetParam();
    const long before = PeakRssKb(RUSAGE_SELF);
    const ReadResult read = ReadImageFile(path);
    const ProbeResult probe = ProbeImageFile(path);
    EXPECT_LT(PeakRssKb(RUSAGE_SELF) - before, kMaxGrowthKb);
    const Outcome expected = Expected();
    const QSize readSize(read.image.width(), read.image.height());
    if (expected == Outcome::Refused) {
        EXPECT_FALSE(read.ok()) << Describe(read);
        EXPECT_FALSE(read.error.isEmpty());
        EXPECT_TRUE(!ClaimsTooMuch() || read.error.contains("too large"))
            << read.error.toStdString();
    } else {
        ASSERT_TRUE(read.ok()) << Describe(read);
        EXPECT_EQ(read.damaged, expected == Outcome::Damaged) << Describe(read);
        EXPECT_EQ(read.damage.isEmpty(), !read.damaged);
        EXPECT_EQ(readSize, file.size);
    }
    // The probe takes a sound header only; what it refuses, reading refuses.
    ASSERT_EQ(probe.ok(), HeaderTaken()) << probe.error.toStdString();
    if (!probe.ok()) {
        EXPECT_FALSE(probe.error.isEmpty());
        EXPECT_EQ(expected, Outcome::Refused);
        EXPECT_TRUE(!ClaimsTooMuch() || probe.error.contains("too large"))
            << probe.error.toStdString();
    } else if (!file.size.isEmpty()) {
        EXPECT_EQ(probe.size, file.size);
    }
}

TEST_P(HostileFiles, TheOpenCommandAlertsOrSaysTheFileIsDamaged) {
    const HostileFile& file = GetParam();
    test::Editor editor;
    ViewController& vc = *editor.controller;
    QSignalSpy messages(&vc, &ViewController::statusMessage);
    editor.dialogs->openAnswers.enqueue(test::FakeDialogs::Choose(path));
    const Outcome expected = Expected();
    vc.OnSelectImage();
    if (expected == Outcome::Refused) {
        ASSERT_EQ(editor.dialogs->alerts.size(), 1);
        EXPECT_EQ(editor.dialogs->alerts.first().text, kCouldNotLoad);
        EXPECT_EQ(editor.dialogs->alerts.first().style, Dialogs::AlertStyle::Warning);
        EXPECT_TRUE(vc.originalImagePath.isEmpty());
        EXPECT_TRUE(vc.originalImageName.isEmpty());
        EXPECT_EQ(vc.originalImageSize, QSizeF(0, 0));
        EXPECT_FALSE(vc.buttonSaveImage->isEnabled());
        EXPECT_FALSE(vc.updating());
        EXPECT_FALSE(vc.imageView->hasImage() && !vc.imageView->image().isNull());
        return;
    }
    EXPECT_TRUE(editor.dialogs->alerts.isEmpty());
    EXPECT_EQ(vc.originalImagePath, path);
    ASSERT_TRUE(editor.WaitUntilIdle(kHangMs));
    EXPECT_EQ(vc.imageView->image().size(), file.size);
    ASSERT_GE(messages.count(), 1);
    const QString last = messages.last().at(0).toString();
    EXPECT_EQ(last.contains("damaged"), expected == Outcome::Damaged) << last.toStdString();
}

TEST_P(HostileFiles, ADropIsTakenOnlyWithASoundHeaderAndNeverLosesThePictureShown) {
    const Outcome expected = Expected();
    test::Editor editor;
    ViewController& vc = *editor.controller;
    const QString onShow = test::WriteImageFile(dir, "on-show.png", test::PhotoLike(24, 16), "png");
    ASSERT_TRUE(editor.Open(onShow));
    const QStringList history = vc.stateImagesPath;
    const QImage shown = vc.imageView->image();

    editor.dialogs->yesNoAnswers.enqueue(true);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const bool accepted = vc.imageView->performDragOperation(&data);
    EXPECT_EQ(editor.dialogs->questions.size(), 1);  // the picture on show may be replaced
    EXPECT_EQ(accepted, HeaderTaken());
    if (accepted && expected != Outcome::Refused) {
        EXPECT_TRUE(editor.dialogs->alerts.isEmpty());
        EXPECT_EQ(vc.originalImagePath, path);
        EXPECT_TRUE(editor.WaitUntilIdle(kHangMs));
        return;
    }
    // A refused drop says nothing; the open command that could not read a
    // taken file says so.
    ASSERT_EQ(editor.dialogs->alerts.size(), accepted ? 1 : 0);
    EXPECT_TRUE(!accepted || editor.dialogs->alerts.first().text == kCouldNotLoad);
    EXPECT_EQ(vc.originalImagePath, onShow);
    EXPECT_EQ(vc.stateImagesPath, history);
    EXPECT_TRUE(vc.imageView->image() == shown);
    EXPECT_FALSE(vc.updating());
    EXPECT_TRUE(editor.WaitUntilIdle(kHangMs));
}

TEST_P(HostileFiles, TheBatchToolNamesTheFailureOrTheDamage) {
    const HostileFile& file = GetParam();
    EditSettings settings;
    settings.comboFormat = 5;        // PNG
    settings.checkKeepExifInfo = 1;  // lying Exif blocks go through the carry-over too
    const QString settingsPath = dir.filePath("look.lumetra");
    ASSERT_TRUE(test::WriteBytes(settingsPath, WriteSettingsText(settings).toUtf8()));
    const QString outDir = dir.filePath("out");
    QProcess batch;
    batch.setProgram(QCoreApplication::applicationDirPath() + "/lumetra-batch");
    batch.setArguments({"--settings", settingsPath, "-o", outDir, path});
    batch.start();
    ASSERT_TRUE(batch.waitForFinished(kHangMs + 10000)) << "lumetra-batch hung";
    ASSERT_EQ(batch.exitStatus(), QProcess::NormalExit) << "lumetra-batch crashed";
    const QString err = QString::fromLocal8Bit(batch.readAllStandardError());
    EXPECT_LT(PeakRssKb(RUSAGE_CHILDREN), kMaxBatchRssKb);
    const QString output =
        QDir(outDir).filePath(QFileInfo(file.fileName).completeBaseName() + "_processed.png");
    const Outcome expected = Expected();
    EXPECT_EQ(batch.exitCode(), expected == Outcome::Opens ? 0 : 1) << err.toStdString();
    if (expected == Outcome::Refused) {
        EXPECT_TRUE(err.contains("FAILED " + path + ": cannot read")) << err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(output));
    } else {
        EXPECT_EQ(err.contains("DAMAGED " + path), expected == Outcome::Damaged)
            << err.toStdString();
        EXPECT_TRUE(ReadImageFile(output).ok());
        EXPECT_EQ(ProbeImageFile(output).size, file.size);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileFiles, ::testing::ValuesIn(test::HostileCorpus()),
                         [](const ::testing::TestParamInfo<HostileFile>& info) {
                             return info.param.label;
                         });

}  // namespace
}  // namespace lumetra
