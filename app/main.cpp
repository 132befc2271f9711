// SPDX-License-Identifier: GPL-3.0-or-later
// Lumetra: a desktop photo editor.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/EditorWindow.h"
#include "editor/ViewController.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setApplicationVersion(QStringLiteral(LUMETRA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.lumetra.Lumetra"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.lumetra.Lumetra"),
                                                 QIcon(QStringLiteral(":/lumetra/icon.png"))));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lumetra, a desktop photo editor."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A photo to open (the first one given is opened)."),
                                 QStringLiteral("[file...]"));
    parser.process(app);

    lumetra::AppDelegate delegate;
    app.setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &lumetra::AppDelegate::applicationWillTerminate);

    auto* window = new lumetra::EditorWindow;
    window->show();
    delegate.applicationDidFinishLaunching();

    // A file handed over on the command line (as the desktop entry does)
    // opens as the open command opens it, once the window is up.
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        const QString path = lumetra::PathFromArgument(files.first());
        QTimer::singleShot(0, window,
                           [window, path] { window->controller()->LoadOriginalImage(path); });
    }

    const int status = app.exec();
    // The program ends at once, as the user asked: a render pass still
    // running is not waited for, and nothing needs cleaning up (no file is
    // open and nothing is stored).
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
