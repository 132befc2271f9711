// SPDX-License-Identifier: GPL-3.0-or-later
// Files kept under tests/robustness/inputs/ and read again on every run.
// image/ holds pictures for the picture reader and the header probe;
// settings/ holds settings texts for the settings text reader. They come
// from fuzzing (tools/fuzz.sh, whose targets are in fuzz/; the script seeds
// the fuzzers with these files too), and are named by where they come from:
//   refused-<what it does>.<ext>  an input that broke a reader, to be
//       refused: refused-j2k-tile-part-claims-4gb.j2k is a 153-byte
//       codestream whose tile part claims 4 GB, which the lenient decoder
//       once allocated;
//   fuzz-corpus-<SHA-1 of its bytes>  an input libFuzzer kept in its corpus
//       for reaching new code, named as libFuzzer names it;
//   default.lumetra  the default settings text, the fuzzer's seed.
// A picture reads or is refused with a reason, and what reads the probe
// takes at the same size; a settings text is read whole and writes back to
// a text that reads the same, or is rejected.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "files/ImageReader.h"
#include "settings/SettingsText.h"

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
