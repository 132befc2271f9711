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
#include "support/TestImages.h"

namespace lumetra::test {
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

TEST(Looks, KeptAsSettingsFilesTheUsersFirstABrokenOneListedWithItsError) {
    QTemporaryDir user, shipped;
    const LookStore store(user.filePath("looks"), {shipped.path()});
    EditSettings warm;
    warm.checkSepia = 1;
    QString error;
    ASSERT_TRUE(store.Save("Warm", warm, &error)) << error.toStdString();
    // Exactly a settings file, as --settings and Import read it.
    EXPECT_TRUE(ReadSettingsFile(user.filePath("looks/Warm.lumetra")).value().settings == warm);
    ASSERT_TRUE(WriteSettingsFile(shipped.filePath("Warm.lumetra"), EditSettings()) &&
                WriteSettingsFile(shipped.filePath("Alpha.lumetra"), EditSettings()) &&
                WriteText(user.filePath("looks/Broken.lumetra"), "not a look\n"));
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
        ASSERT_TRUE(editor.Open(WriteImageFile(dir, "p.png", PhotoLike(120, 80))));
    }
    QTemporaryDir dir;
    Editor editor;
    ViewController& vc = *editor.controller;
};

TEST_F(LooksInTheWindow, ApplyingALookIsOneChangeUndoTakesBackAndKeepsTheOutputSize) {
    vc.textFieldWidth->setText("60");
    vc.OnWidthChanged();  // recorded
    EditSettings look;
    look.checkBlackWhite = 1;
    look.comboFormat = 5;  // export settings come with the look, but not its size
    look.textFieldWidth = look.textFieldHeight = "10";
    vc.ApplyLook(look);
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_TRUE(vc.CurrentSettings().checkBlackWhite == 1 && vc.CurrentSettings().comboFormat == 5);
    EXPECT_EQ(vc.textFieldWidth->text(), "120") << "the photo's size, not the look's";
    vc.OnUndo();
    ASSERT_TRUE(editor.WaitUntilIdle());
    EXPECT_TRUE(vc.CurrentSettings().checkBlackWhite == 0 && vc.CurrentSettings().comboFormat != 5);
    // With nothing rendered after it (no photo), the size the user set stays.
    vc.OnFileNew();
    vc.textFieldWidth->setText("60");
    vc.ApplyLook(look);
    EXPECT_TRUE(vc.textFieldWidth->text() == "60" && vc.CurrentSettings().checkBlackWhite == 1);
}

TEST_F(LooksInTheWindow, ThePanelShowsEveryShippedLookAsksBeforeReplacingNeverAppliesABrokenOne) {
    ASSERT_TRUE(QDir().mkpath(dir.filePath("looks")) &&
                WriteText(dir.filePath("looks/Broken.lumetra"), "broken\n"));
    LooksPanel panel(&vc, LookStore(dir.filePath("looks"), {LUMETRA_SHIPPED_LOOKS}));
    QSignalSpy thumbnails(&vc, &ViewController::lookThumbnailReady);
    const QList<Look> shipped = LookStore(QString(), {LUMETRA_SHIPPED_LOOKS}).List();
    ASSERT_EQ(panel.list()->count(), shipped.size() + 1);
    for (const Look& look : shipped)  // each reads and changes something
        EXPECT_TRUE(look.ok() && !(look.file->settings == EditSettings())) << qPrintable(look.name);
    // Every readable look gets its thumbnail of the open photo.
    for (int i = 0; i < 50 && thumbnails.count() < shipped.size(); ++i) thumbnails.wait(200);
    EXPECT_EQ(thumbnails.count(), shipped.size());
    EXPECT_FALSE(thumbnails.first().at(1).value<QImage>().isNull());

    vc.sliderContrast->moveTo(1.5f);
    ASSERT_TRUE(editor.WaitUntilIdle());
    editor.dialogs->textAnswers << QString("Punchy") << QString("Punchy");
    panel.SaveLook();
    EXPECT_EQ(panel.list()->count(), shipped.size() + 2);
    vc.sliderContrast->moveTo(2.5f);
    editor.dialogs->yesNoAnswers.enqueue(false);  // "No" keeps the old look
    panel.SaveLook();
    ASSERT_EQ(editor.dialogs->questions.size(), 3);
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
}  // namespace lumetra::test
