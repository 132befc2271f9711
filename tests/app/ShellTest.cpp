// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: closing and quitting end the program at once, the
// menus' keys, a file named on the command line, New, the help pages.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/EditorWindow.h"
#include "files/CustomImageView.h"
#include "support/TestImages.h"

namespace lumetra::test {
namespace {

// Runs the application's event loop as main() does: whether it ends in time.
template <typename Action>
bool LoopEndsAfter(Action action) {
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

TEST(Shell, ClosingTheWindowOrQuittingEndsTheProgramEvenWithAnEditedPicture) {
    auto fake = std::make_shared<FakeDialogs>();
    auto* window = new EditorWindow(fake);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->controller()->sliderBrightness->moveTo(0.4f);
    EXPECT_TRUE(window->controller()->windowShouldClose());
    EXPECT_TRUE(LoopEndsAfter([window] { window->close(); }));
    EditorWindow other(fake);
    other.show();
    EXPECT_TRUE(LoopEndsAfter([&other] { other.controller()->OnAppQuit(); }));
    EXPECT_TRUE(fake->alerts.isEmpty()) << "neither may ask anything";
}

TEST(Shell, AFileOnTheCommandLineOpensComparesAndNewClearsIt) {
    QTemporaryDir dir;
    const QString path = WriteImageFile(dir, "given.png", PhotoLike(30, 20));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString& argument :
         {QString("given.png"), QUrl::fromLocalFile(path).toString(), path})
        EXPECT_EQ(PathFromArgument(argument), path) << argument.toStdString();
    QDir::setCurrent(previous);

    EditorWindow window(std::make_shared<FakeDialogs>());
    ViewController& vc = *window.controller();
    QSignalSpy finished(&vc, &ViewController::renderPassFinished);
    vc.LoadOriginalImage(PathFromArgument(path));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(vc.originalImageName == "given" && vc.stateImagesPath.size() == 1);
    // Holding the Compare button or the backslash key shows the unedited photo.
    auto* compare = window.findChild<QToolButton*>("buttonCompare");
    ASSERT_NE(compare, nullptr);
    QTest::mousePress(compare, Qt::LeftButton);
    EXPECT_TRUE(vc.imageView->showsComparison());
    QTest::mouseRelease(compare, Qt::LeftButton);
    EXPECT_FALSE(vc.imageView->showsComparison());
    QTest::keyPress(&vc, Qt::Key_Backslash);
    EXPECT_TRUE(vc.imageView->showsComparison());
    QTest::keyRelease(&vc, Qt::Key_Backslash);
    EXPECT_FALSE(vc.imageView->showsComparison());

    // New clears the picture and the settings and keeps the history.
    window.setWindowTitle("something else");
    vc.sliderSepiaIntensity->setFloatValue(0.3f);
    const QStringList history = vc.stateImagesPath;
    for (int i = 0; i < 2; ++i) {  // twice is the same as once
        vc.OnFileNew();
        EXPECT_TRUE(window.windowTitle() == "Lumetra" && vc.CurrentSettings() == EditSettings());
        EXPECT_TRUE(vc.imageView->image().isNull() && !vc.buttonSaveImage->isEnabled());
        EXPECT_TRUE(vc.stateImagesPath == history && vc.currenState == 0 && !vc.updating());
    }
}

TEST(Shell, MenusCarryTheStandardKeysAndHelpOpensTheShippedPages) {
    auto fake = std::make_shared<FakeDialogs>();
    EditorWindow window(fake);
    QStringList keys;
    for (QAction* action : window.findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts()) keys << key.toString();
    for (const char* key :
         {"Ctrl+N", "Ctrl+O", "Ctrl+Q", "Ctrl++", "Ctrl+-", "Ctrl+0", "Ctrl+Z", "Ctrl+Shift+Z"})
        EXPECT_TRUE(keys.contains(key)) << key;
    window.controller()->OnHowToRotateImages();
    window.controller()->OnHowToAddArtisticEffectsToImages();
    ASSERT_EQ(fake->openedUrls.size(), 2);
    const QString pages[] = {"help/rotating-images.html", "help/artistic-effects.html"};
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(fake->openedUrls[i].toLocalFile().endsWith(pages[i]) &&
                    QFileInfo(fake->openedUrls[i].toLocalFile()).isFile())
            << fake->openedUrls[i].toString().toStdString();
}

}  // namespace
}  // namespace lumetra::test
