// SPDX-License-Identifier: GPL-3.0-or-later
// Tells an object's thread, from any other thread, that something is ready
// for it: the sender writes to an event file descriptor, and a socket
// notifier on the receiving thread's event loop reads it and emits
// ready(). The sender touches no Qt object, and the write and read are a
// hand-over that thread checkers (ThreadSanitizer) see, which Qt's posting
// of events between threads, built on its own futex locks, is not.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace lumetra {

class WakeUp : public QObject {
    Q_OBJECT
  public:
    explicit WakeUp(QObject* parent = nullptr);
    ~WakeUp() override;

    // From any thread: ready() follows once on the receiving thread for
    // every Notify() (several that arrive together come as as many).
    void Notify();

  signals:
    void ready();

  private:
    void Drain();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace lumetra
