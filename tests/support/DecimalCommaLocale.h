// SPDX-License-Identifier: GPL-3.0-or-later
// A German locale, which writes 1.5 as "1,5", for the length of a scope.
// It is built with localedef into a private folder, so a test does not
// depend on which locales the machine has generated; the C library's
// locale and LOCPATH are put back when the scope ends.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>
#include <string>

namespace lumetra::test {

class DecimalCommaLocale {
public:
    DecimalCommaLocale()
        : previousLocale_(std::setlocale(LC_ALL, nullptr)), previousPath_(qgetenv("LOCPATH")) {
        const QString name = QStringLiteral("de_DE.ISO-8859-1");
        // localedef exits with 1 when it only warned.
        const QStringList arguments{"-i", "de_DE", "-f", "ISO-8859-1", dir_.filePath(name)};
        const int status = QProcess::execute(QStringLiteral("localedef"), arguments);
        if (status != 0 && status != 1) {
            ADD_FAILURE() << "localedef failed: " << status;
            return;
        }
        qputenv("LOCPATH", dir_.path().toLocal8Bit());
        if (!std::setlocale(LC_ALL, name.toLatin1().constData())) {
            ADD_FAILURE() << "the built locale cannot be set";
            return;
        }
        char printed[16];
        std::snprintf(printed, sizeof printed, "%g", 1.5);
        active_ = std::string(printed) == "1,5";
        EXPECT_TRUE(active_) << "1.5 prints as " << printed << ", not with a decimal comma";
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, previousLocale_.c_str());
        if (previousPath_.isNull()) qunsetenv("LOCPATH");
        else qputenv("LOCPATH", previousPath_);
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    // The locale is set and prints numbers with a decimal comma.
    bool active() const { return active_; }

private:
    std::string previousLocale_;
    QByteArray previousPath_;
    QTemporaryDir dir_;
    bool active_ = false;
};

}  // namespace lumetra::test
