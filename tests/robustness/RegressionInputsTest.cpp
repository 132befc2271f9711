// SPDX-License-Identifier: GPL-3.0-or-later
// Inputs that once broke a reader (found by fuzzing, kept small under
// tests/robustness/inputs/) are read again on every run: pictures through
// the picture reader, settings texts through the settings text reader. A
// file whose name starts with "refused-" must be refused: reading it once
// went wrong in a way that only refusing it prevents (a tile part of a few
// bytes claiming 4 GB, which the lenient decoder allocated). What reads,
// the header probe takes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings/SettingsText.h"
#include "files/ImageReader.h"

namespace lumetra {
namespace {

QStringList Inputs(const char* kind) {
    const QDir dir(QStringLiteral(LUMETRA_ROBUSTNESS_INPUTS "/") + kind);
    QStringList paths;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) paths << dir.filePath(name);
    return paths;
}

TEST(RegressionInputs, PicturesAreReadOrRefusedWithAReason) {
    const QStringList paths = Inputs("image");
    ASSERT_FALSE(paths.isEmpty()) << "the regression pictures are missing";
    for (const QString& path : paths) {
        const ReadResult read = ReadImageFile(path);
        if (QFileInfo(path).fileName().startsWith("refused-")) {
            EXPECT_FALSE(read.ok()) << path.toStdString();
        }
        if (read.ok()) {
            EXPECT_LE(read.image.pixelCount(), std::size_t(kMaxSourcePixels)) << path.toStdString();
            EXPECT_TRUE(!read.damaged || !read.damage.isEmpty()) << path.toStdString();
            // What reads, a drop takes: its header says the same size.
            const ProbeResult probe = ProbeImageFile(path);
            EXPECT_TRUE(probe.ok()) << path.toStdString() << ": " << probe.error.toStdString();
            EXPECT_EQ(probe.size, QSize(read.image.width(), read.image.height()))
                << path.toStdString();
        } else {
            EXPECT_FALSE(read.error.isEmpty()) << path.toStdString();
        }
    }
}

TEST(RegressionInputs, SettingsTextsAreReadOrRejectedWhole) {
    const QStringList paths = Inputs("settings");
    ASSERT_FALSE(paths.isEmpty()) << "the regression settings texts are missing";
    for (const QString& path : paths) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const std::optional<EditSettings> settings =
            ReadSettingsText(QString::fromUtf8(file.readAll()));
        if (settings) {
            const QString written = WriteSettingsText(*settings);
            const std::optional<EditSettings> again = ReadSettingsText(written);
            ASSERT_TRUE(again.has_value()) << path.toStdString();
            EXPECT_EQ(WriteSettingsText(*again), written) << path.toStdString();
        }
    }
}

}  // namespace
}  // namespace lumetra
