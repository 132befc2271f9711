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
    // A look's name, the settings of its output (none: no output), what the run says.
    const std::tuple<QString, std::optional<EditSettings>, QString> cases[] = {
        {"Cartoon", mine, "1 of 1"},
        {"Warm sepia print", shipped->settings, "1 of 1"},
        {"Sepia", std::nullopt, "no look named 'Sepia' (the looks: Cartoon, Oil painting, "}};
    for (const auto& [look, settings, message] : cases) {
        const QString out = dir.filePath("out-" + look);
        const BatchRun run =
            Batch({"--look", look, "--format", "png", "-o", out, input}, environment);
        EXPECT_EQ(run.status, settings ? 0 : 1) << look.toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        const QImage written = Pixels(out + "/in_processed.png");
        ASSERT_EQ(!written.isNull(), settings.has_value()) << look.toStdString();
        if (!settings) continue;
        EXPECT_EQ(written, Rendered(input, *settings)) << look.toStdString();
    }
}

}  // namespace
}  // namespace lumetra::test
