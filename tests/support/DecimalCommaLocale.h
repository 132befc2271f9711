// SPDX-License-Identifier: GPL-3.0-or-later
// A German locale ("1,5") for a scope, built with localedef into a private
// folder so that no test depends on the machine's locales.
#pragma once

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
        const QStringList args{"-i", "de_DE", "-f", "ISO-8859-1", dir_.filePath(name)};
        const int status = QProcess::execute(QStringLiteral("localedef"), args);
        if (status != 0 && status != 1) return;  // 1: it only warned
        qputenv("LOCPATH", dir_.path().toLocal8Bit());
        char printed[16] = "";
        if (std::setlocale(LC_ALL, name.toLatin1().constData()))
            std::snprintf(printed, sizeof printed, "%g", 1.5);
        active_ = std::string(printed) == "1,5";
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, previousLocale_.c_str());
        if (previousPath_.isNull())
            qunsetenv("LOCPATH");
        else
            qputenv("LOCPATH", previousPath_);
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;

    bool active() const { return active_; }

  private:
    std::string previousLocale_;
    QByteArray previousPath_;
    QTemporaryDir dir_;
    bool active_ = false;
};

}  // namespace lumetra::test
