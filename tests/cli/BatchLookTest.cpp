// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch --look: a look found by name as the Looks panel finds it,
// the user's own before a shipped one of the same name.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli/BatchRun.h"
#include "files/ImageReader.h"
#include "render/RenderPipeline.h"
#include "settings/SettingsFields.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsText.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

TEST(BatchLook, TakesTheUsersLookThenTheShippedOneAndNamesAnUnknownOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString input = test::WriteImageFile(dir, "in.png", test::PhotoLike(48, 32));
    const QString looks = dir.filePath("data/lumetra/looks");
    ASSERT_TRUE(QDir().mkpath(looks));
    EditSettings mine;
    mine.checkBlackWhite = 1;
    mine.checkVignette = 1;
    ASSERT_TRUE(WriteSettingsFile(looks + "/Cartoon.lumetra", mine));
    QFile broken(looks + "/Broken.lumetra");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a settings text\n");
    broken.close();
    const QString shippedPath = QCoreApplication::applicationDirPath() +
                                "/../share/lumetra/looks/Warm sepia print.lumetra";
    const std::optional<SettingsFile> shipped = ReadSettingsFile(shippedPath);
    ASSERT_TRUE(shipped) << shippedPath.toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));

    const struct {
        const char* look;
        int status;
        std::optional<EditSettings> settings;  // what the output is rendered with
        QString message;
    } cases[] = {{"Cartoon", 0, mine, "1 of 1"},
                 {"Warm sepia print", 0, shipped->settings, "1 of 1"},
                 {"Sepia", 1, std::nullopt, "no look named 'Sepia' (the looks: Broken, Cartoon, "},
                 {"Broken", 1, std::nullopt,
                  "the look 'Broken' (" + looks + "/Broken.lumetra) cannot be read"}};
    for (const auto& c : cases) {
        const QString out = dir.filePath(QString("out-") + c.look);
        const test::BatchRun run =
            test::Batch({"--look", c.look, "--format", "png", "-o", out, input}, environment);
        EXPECT_EQ(run.status, c.status) << c.look << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << c.look << ": " << run.err.toStdString();
        const ReadResult written = ReadImageFile(out + "/in_processed.png");
        ASSERT_EQ(written.ok(), c.settings.has_value()) << c.look;
        if (!c.settings) continue;
        EditSettings settings = *c.settings;
        ClampToFieldRanges(settings);
        const QImage want = RenderPipeline(ReadImageFile(input).image, settings, Image())
                                .toQImage()
                                .convertToFormat(QImage::Format_RGBA8888);
        EXPECT_EQ(written.image.toQImage().convertToFormat(QImage::Format_RGBA8888), want)
            << c.look;
    }
}

}  // namespace
}  // namespace lumetra
