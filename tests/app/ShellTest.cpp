// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: closing and quitting end the program at once, New
// clears the editor, the help commands open their pages.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/EditorWindow.h"
#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

// Runs the application's event loop as main() does and reports whether it
// ended within the time allowed.
bool LoopEndsAfter(const std::function<void()>& action) {
    AppDelegate delegate;
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());
    bool timedOut = false;
    QTimer::singleShot(0, action);
    QTimer::singleShot(10000, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QApplication::exec();
    return !timedOut;
}

TEST(Shell, ClosingTheWindowEndsTheProgramEvenWithAnEditedPicture) {
    auto fake = std::make_shared<test::FakeDialogs>();
    auto* window = new EditorWindow(fake);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->controller()->sliderBrightness->moveTo(0.4f);
    EXPECT_TRUE(window->controller()->windowShouldClose());
    EXPECT_TRUE(LoopEndsAfter([window] { window->close(); }));
    EXPECT_TRUE(fake->alerts.isEmpty()) << "closing must not ask anything";
}

TEST(Shell, QuitEndsTheProgram) {
    EditorWindow window(std::make_shared<test::FakeDialogs>());
    window.show();
    EXPECT_TRUE(LoopEndsAfter([&window] { window.controller()->OnAppQuit(); }));
}

TEST(Shell, MenusCarryTheStandardShortcuts) {
    EditorWindow window(std::make_shared<test::FakeDialogs>());
    QStringList shortcuts;
    for (QAction* action : window.findChildren<QAction*>())
        if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString();
    EXPECT_TRUE(shortcuts.contains("Ctrl+N"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+O"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+Q"));
}

TEST(Shell, NewClearsTheEditorAndNamesTheWindow) {
    QTemporaryDir dir;
    const QString path = test::WriteImageFile(dir, "p.png", test::PhotoLike(30, 20));
    auto fake = std::make_shared<test::FakeDialogs>();
    EditorWindow window(fake);
    ViewController& vc = *window.controller();
    window.setWindowTitle("something else");
    fake->openAnswers.enqueue(test::FakeDialogs::Choose(path));
    QSignalSpy finished(&vc, &ViewController::renderPassFinished);
    vc.OnSelectImage();
    ASSERT_TRUE(finished.wait(10000));
    vc.sliderSepiaIntensity->setFloatValue(0.3f);
    vc.stateImagesPath = QStringList{"kept"};
    vc.currenState = 0;
    const QRect frame = vc.imageView->geometry();

    for (int i = 0; i < 2; ++i) {  // twice is the same as once
        vc.OnFileNew();
        EXPECT_EQ(window.windowTitle(), "Lumetra");
        EXPECT_TRUE(vc.CurrentSettings() == EditSettings());
        EXPECT_TRUE(vc.imageView->image().isNull());
        EXPECT_FALSE(vc.buttonSaveImage->isEnabled());
        EXPECT_EQ(vc.stateImagesPath, QStringList{"kept"});
        EXPECT_EQ(vc.currenState, 0);
        EXPECT_EQ(vc.imageView->geometry(), frame);
        EXPECT_FALSE(vc.updating());
    }
}

TEST(Shell, HelpCommandsOpenTheShippedPages) {
    auto fake = std::make_shared<test::FakeDialogs>();
    EditorWindow window(fake);
    window.controller()->OnHowToRotateImages();
    window.controller()->OnHowToAddArtisticEffectsToImages();
    ASSERT_EQ(fake->openedUrls.size(), 2);
    EXPECT_TRUE(fake->openedUrls[0].toLocalFile().endsWith("help/rotating-images.html"));
    EXPECT_TRUE(fake->openedUrls[1].toLocalFile().endsWith("help/artistic-effects.html"));
    for (const QUrl& url : fake->openedUrls)
        EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toString().toStdString();
    EXPECT_TRUE(window.controller()->CurrentSettings() == EditSettings());
}

TEST(Shell, AFileOnTheCommandLineOpensAsTheOpenCommandOpensIt) {
    QTemporaryDir dir;
    const QString path = test::WriteImageFile(dir, "given.png", test::PhotoLike(12, 8));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(PathFromArgument("given.png"), path);
    QDir::setCurrent(previous);
    EXPECT_EQ(PathFromArgument(QUrl::fromLocalFile(path).toString()), path);
    EXPECT_EQ(PathFromArgument(path), path);

    auto fake = std::make_shared<test::FakeDialogs>();
    EditorWindow window(fake);
    QSignalSpy finished(window.controller(), &ViewController::renderPassFinished);
    window.controller()->LoadOriginalImage(PathFromArgument(path));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.controller()->originalImageName, "given");
    EXPECT_EQ(window.controller()->stateImagesPath.size(), 1);

    // Holding the toolbar's Compare button, or the backslash key, shows the
    // unedited photo; letting go shows the result again.
    auto* compare = window.findChild<QToolButton*>("buttonCompare");
    ASSERT_NE(compare, nullptr);
    CustomImageView* view = window.controller()->imageView;
    QTest::mousePress(compare, Qt::LeftButton);
    EXPECT_TRUE(view->showsComparison());
    QTest::mouseRelease(compare, Qt::LeftButton);
    EXPECT_FALSE(view->showsComparison());
    QTest::keyPress(window.controller(), Qt::Key_Backslash);
    EXPECT_TRUE(view->showsComparison());
    QTest::keyRelease(window.controller(), Qt::Key_Backslash);
    EXPECT_FALSE(view->showsComparison());
}

TEST(Shell, MenusOfferZoomWithTheStandardKeys) {
    EditorWindow window(std::make_shared<test::FakeDialogs>());
    QStringList shortcuts;
    for (QAction* action : window.findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts()) shortcuts << key.toString();
    EXPECT_TRUE(shortcuts.contains("Ctrl++"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+-"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+0"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+Z"));
    EXPECT_TRUE(shortcuts.contains("Ctrl+Shift+Z"));
}

}  // namespace
}  // namespace lumetra
