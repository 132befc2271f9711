// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a save's work on a thread of its own while the window's thread waits
// in an event loop with the user's input held off: the window keeps
// painting and its progress bar moving, and no command can start meanwhile.
#pragma once

#include <QObject>
#include <functional>

class QEventLoop;

namespace lumetra {

class SaveCommand : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Runs `work` on its own thread and returns once it has finished. The
    // user's clicks, keys, wheel and drops are dropped until then. Should
    // the application be told to exit meanwhile, the wait still lasts until
    // the work is done. Not re-entrant: a call while one runs does nothing
    // and returns false.
    bool Run(const std::function<void()>& work);

    // True while work runs.
    bool running() const { return wait_ != nullptr; }

  private:
    QEventLoop* wait_ = nullptr;
};

}  // namespace lumetra
