// SPDX-License-Identifier: GPL-3.0-or-later
// Looks: kept as settings files, listed with the user's own first and the
// shipped ones after them, a broken one listed with its error and never
// applied, applied as a change Undo takes back, and the panel's commands.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "editor/LooksPanel.h"
#include "settings/Looks.h"
#include "settings/SettingsText.h"
#include "support/TestImages.h"

#ifndef LUMETRA_SHIPPED_LOOKS
#error "the tests need the folder of the shipped looks"
#endif

namespace lumetra {
namespace {

QStringList Names(const LookStore& store) {
    QStringList names;
    for (const Look& look : store.List()) names << look.name + (look.builtIn ? "*" : "");
    return names;
}

bool WriteText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(Looks, TheShippedLooksAllReadAndEachChangesSomething) {
    const QList<Look> shipped = LookStore(QString(), {LUMETRA_SHIPPED_LOOKS}).List();
    ASSERT_GE(shipped.size(), 5);
    for (const Look& look : shipped)
        EXPECT_TRUE(look.builtIn && look.ok() && !(look.file->settings == EditSettings()))
            << look.name.toStdString() << ": " << look.error.toStdString();
}

TEST(Looks, KeptAsSettingsFilesTheUsersFirstABrokenOneListedWithItsError) {
    QTemporaryDir user, shipped;
    const LookStore store(user.filePath("looks"), {shipped.path()});
    EditSettings warm;
    warm.checkSepia = 1;
    warm.sliderSepiaIntensity = 0.5f;
    QString error;
    ASSERT_TRUE(store.Save("Warm", warm, &error)) << error.toStdString();
    // Exactly a settings file, as --settings and Import read it.
    EXPECT_TRUE(ReadSettingsFile(user.filePath("looks/Warm.lumetra")).value().settings == warm);
    const QByteArray defaults = WriteSettingsText(EditSettings()).toUtf8();
    ASSERT_TRUE(WriteText(shipped.filePath("Warm.lumetra"), defaults));
    ASSERT_TRUE(WriteText(shipped.filePath("Alpha.lumetra"), defaults));
    ASSERT_TRUE(WriteText(user.filePath("looks/Broken.lumetra"), "not a look\n"));
    EXPECT_EQ(Names(store), QStringList({"Broken", "Warm", "Alpha*"}));
    const std::optional<Look> broken = store.Find("Broken");
    EXPECT_TRUE(broken && !broken->ok() && !broken->error.isEmpty());
    EXPECT_TRUE(store.Find("Warm")->file->settings == warm) << "the user's look must win";

    // Renaming never replaces another; removing takes only the user's own.
    EXPECT_FALSE(store.Rename("Warm", "Broken", &error));
    ASSERT_TRUE(store.Rename("Warm", "Sepia print", &error)) << error.toStdString();
    EXPECT_EQ(Names(store), QStringList({"Broken", "Sepia print", "Alpha*", "Warm*"}));
    EXPECT_FALSE(store.Remove("Alpha", &error));
    ASSERT_TRUE(store.Remove("Sepia print", &error)) << error.toStdString();
    EXPECT_EQ(Names(store), QStringList({"Broken", "Alpha*", "Warm*"}));
    for (const QString bad : {"", " ", ".hidden", "a/b", "two\nlines"})
        EXPECT_TRUE(!LookStore::NameError(bad).isEmpty() && !store.Save(bad, warm, &error))
            << bad.toStdString();
}

class LooksInTheWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(editor.Open(test::WriteImageFile(dir, "p.jpg", test::PhotoLike(120, 80))));
    }
    QTemporaryDir dir;
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

TEST_F(LooksInTheWindow, ApplyingALookIsOneChangeUndoTakesBackAndKeepsTheOutputSize) {
    vc.textFieldWidth->setText("60");
    vc.OnWidthChanged();  // recorded
    const EditSettings before = vc.CurrentSettings();
    EditSettings look;
    look.checkBlackWhite = 1;
    look.comboFormat = 5;  // export settings come with the look, not its size
    look.textFieldWidth = look.textFieldHeight = "10";
    vc.ApplyLook(look);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_TRUE(vc.CurrentSettings().checkBlackWhite == 1 && vc.CurrentSettings().comboFormat == 5);
    EXPECT_EQ(vc.textFieldWidth->text(), "120") << "the photo's size, not the look's";
    vc.OnUndo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_TRUE(vc.CurrentSettings().checkBlackWhite == 0 &&
                vc.CurrentSettings().comboFormat == before.comboFormat);
    // With nothing rendered after it (no photo), the size the user set stays.
    vc.OnFileNew();
    vc.textFieldWidth->setText("60");
    vc.ApplyLook(look);
    EXPECT_TRUE(vc.textFieldWidth->text() == "60" && vc.CurrentSettings().checkBlackWhite == 1);
}

TEST_F(LooksInTheWindow, ThePanelSavesAsksBeforeReplacingAndShowsThumbnails) {
    ASSERT_TRUE(QDir().mkpath(dir.filePath("looks")));
    ASSERT_TRUE(WriteText(dir.filePath("looks/Broken.lumetra"), "broken\n"));
    LooksPanel panel(&vc, LookStore(dir.filePath("looks"), {LUMETRA_SHIPPED_LOOKS}));
    QSignalSpy thumbnails(&vc, &ViewController::lookThumbnailReady);
    const int shipped = panel.list()->count() - 1;
    // Every readable look gets its thumbnail of the open photo.
    for (int i = 0; i < 50 && thumbnails.count() < shipped; ++i) thumbnails.wait(200);
    EXPECT_EQ(thumbnails.count(), shipped);
    EXPECT_FALSE(thumbnails.first().at(1).value<QImage>().isNull());

    vc.sliderContrast->moveTo(1.5f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    editor.dialogs->textAnswers.enqueue(QStringLiteral("Punchy"));
    panel.SaveLook();
    EXPECT_EQ(panel.list()->count(), shipped + 2);
    // Saving under the same name asks first; "No" keeps the old look.
    vc.sliderContrast->moveTo(2.5f);
    editor.dialogs->textAnswers.enqueue(QStringLiteral("Punchy"));
    editor.dialogs->yesNoAnswers.enqueue(false);
    panel.SaveLook();
    ASSERT_EQ(editor.dialogs->questions.size(), 3);
    const auto kept = ReadSettingsFile(dir.filePath("looks/Punchy.lumetra"));
    EXPECT_EQ(kept->settings.sliderContrast, 1.5f);

    // A broken look is never applied.
    ASSERT_TRUE(editor.WaitUntilIdle());
    const EditSettings before = vc.CurrentSettings();
    QSignalSpy started(&vc, &ViewController::renderPassStarted);
    panel.ApplyLook("Broken");
    EXPECT_TRUE(started.isEmpty() && vc.CurrentSettings() == before);
    panel.ApplyLook("Punchy");
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_EQ(vc.sliderContrast->floatValue(), 1.5f);
}

}  // namespace
}  // namespace lumetra
