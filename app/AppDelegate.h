// SPDX-License-Identifier: GPL-3.0-or-later
// The application's delegate: it holds nothing and does nothing at start or
// end; closing the last window ends the program.
#pragma once

#include <QObject>

namespace lumetra {

class AppDelegate : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  public slots:
    void applicationDidFinishLaunching() {}
    void applicationWillTerminate() {}
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
};

}  // namespace lumetra
