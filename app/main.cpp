// SPDX-License-Identifier: GPL-3.0-or-later
// Lumetra: a desktop photo editor.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/AppDelegate.h"
#include "app/EditorWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setApplicationVersion(QStringLiteral(LUMETRA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("lumetra"));

    lumetra::AppDelegate delegate;
    app.setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &lumetra::AppDelegate::applicationWillTerminate);

    auto* window = new lumetra::EditorWindow;
    window->show();
    delegate.applicationDidFinishLaunching();

    const int status = app.exec();
    // The program ends at once, as the user asked: a render pass still
    // running is not waited for, and nothing needs cleaning up (no file is
    // open and nothing is stored).
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
