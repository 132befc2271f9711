// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/SaveCommand.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

namespace lumetra {
namespace {

// How often the window's thread looks whether the work has finished.
constexpr int kPollMs = 15;

// While alive, the user's input to the application is dropped: clicks,
// keys, shortcuts, the wheel and drops. Painting, timers and the window
// system's other events go on.
class InputHold : public QObject {
  public:
    InputHold() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputHold() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ContextMenu:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

bool SaveCommand::Run(const std::function<void()>& work) {
    if (wait_) return false;
    // The loop looks at a flag the work's thread sets when done (an atomic,
    // which thread checkers see; an event posted across would hand its
    // allocation over through Qt's own locks, which they do not).
    QEventLoop wait;
    wait_ = &wait;
    std::atomic<bool> finished{false};
    std::thread worker([&work, &finished] {
        work();
        finished.store(true, std::memory_order_release);
    });
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, &wait, [&wait, &finished] {
        if (finished.load(std::memory_order_acquire)) wait.quit();
    });
    poll.start();
    {
        const InputHold hold;
        // An exit asked for meanwhile ends the loop early; the work is
        // still waited for below.
        wait.exec();
    }
    poll.stop();
    worker.join();
    wait_ = nullptr;
    return true;
}

}  // namespace lumetra
