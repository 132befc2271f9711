// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch --look: a look found by name as the Looks panel finds it,
// the user's own before a shipped one of the same name.
#include <gtest/gtest.h>

#include "cli/BatchRun.h"

namespace lumetra::test {
namespace {

TEST(BatchLook, TakesTheUsersLookThenTheShippedOneAndNamesAnUnknownOne) {
    QTemporaryDir dir;
    const QString input = WriteImageFile(dir, "in.png", PhotoLike(48, 32));
    const QString looks = dir.filePath("data/lumetra/looks");
    EditSettings mine;
    mine.checkBlackWhite = mine.checkVignette = 1;
    ASSERT_TRUE(QDir().mkpath(looks) && WriteSettingsFile(looks + "/Cartoon.lumetra", mine));
    const std::optional<SettingsFile> shipped =
        ReadSettingsFile(QCoreApplication::applicationDirPath() +
                         "/../share/lumetra/looks/Warm sepia print.lumetra");
    ASSERT_TRUE(shipped);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    const struct {
        const char* look;
        int status;
        std::optional<EditSettings> settings;  // the output's, or none written
        QString message;
    } cases[] = {
        {"Cartoon", 0, mine, "1 of 1"},
        {"Warm sepia print", 0, shipped->settings, "1 of 1"},
        {"Sepia", 1, std::nullopt, "no look named 'Sepia' (the looks: Cartoon, Oil painting, "}};
    for (const auto& c : cases) {
        const QString out = dir.filePath(QString("out-") + c.look);
        const BatchRun run =
            Batch({"--look", c.look, "--format", "png", "-o", out, input}, environment);
        EXPECT_EQ(run.status, c.status) << c.look;
        EXPECT_TRUE(run.err.contains(c.message)) << c.look << ": " << run.err.toStdString();
        const QImage written = Pixels(out + "/in_processed.png");
        ASSERT_EQ(!written.isNull(), c.settings.has_value()) << c.look;
        if (c.settings) EXPECT_EQ(written, Rendered(input, *c.settings)) << c.look;
    }
}

}  // namespace
}  // namespace lumetra::test
