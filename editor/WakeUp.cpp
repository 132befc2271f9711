// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/WakeUp.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace lumetra {

WakeUp::WakeUp(QObject* parent) : QObject(parent) {
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0) throw std::runtime_error("no event file descriptor for the render worker");
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &WakeUp::Drain);
}

WakeUp::~WakeUp() {
    notifier_.reset();
    ::close(fd_);
}

void WakeUp::Notify() {
    const std::uint64_t one = 1;
    // The counter only fails to take one more at 2^64 - 1.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeUp::Drain() {
    std::uint64_t count = 0;
    if (::read(fd_, &count, sizeof count) != sizeof count) return;  // nothing waiting
    for (std::uint64_t i = 0; i < count; ++i) emit ready();
}

}  // namespace lumetra
