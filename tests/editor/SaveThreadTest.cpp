// SPDX-License-Identifier: GPL-3.0-or-later
// The save command's thread on its own: the work runs off the window's
// thread, the window's thread keeps running its events, the user's input is
// dropped meanwhile, and a second save cannot start.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "editor/SaveCommand.h"

namespace lumetra {
namespace {

TEST(SaveThread, WorkRunsAsideWhileInputIsHeldOff) {
    SaveCommand command;
    QCheckBox box;
    QLineEdit field;
    box.show();
    field.show();
    QSemaphore gate;
    bool workOffThread = false, running = false, clicked = true, typed = true, nested = true;
    QTimer::singleShot(0, [&] {
        running = command.running();
        QTest::mouseClick(&box, Qt::LeftButton);
        clicked = box.isChecked();
        QTest::keyClick(&field, Qt::Key_5);
        typed = !field.text().isEmpty();
        nested = command.Run([] {});
        gate.release();
    });
    const QThread* window = QThread::currentThread();
    EXPECT_TRUE(command.Run([&] {
        gate.acquire();
        workOffThread = QThread::currentThread() != window;
    }));
    EXPECT_TRUE(workOffThread);
    EXPECT_TRUE(running);
    EXPECT_FALSE(clicked) << "a click got through";
    EXPECT_FALSE(typed) << "a key got through";
    EXPECT_FALSE(nested) << "a second save started during the first";
    EXPECT_FALSE(command.running());
    // Input reaches the window again afterwards.
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_TRUE(box.isChecked());
}

}  // namespace
}  // namespace lumetra
