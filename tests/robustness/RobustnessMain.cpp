// SPDX-License-Identifier: GPL-3.0-or-later
// The robustness tests run the real controller on the offscreen platform,
// held to file permissions even when run as root.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "support/Unprivileged.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before Qt starts its threads: capabilities are per thread.
    if (!lumetra::test::GiveUpPermissionOverride())
        std::fprintf(stderr, "warning: file permissions do not bind this process\n");
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
