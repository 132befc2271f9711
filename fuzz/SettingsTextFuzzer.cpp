// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the settings text reader, as it reads imported settings
// files and the history's texts. Whatever the bytes, reading must not
// crash, and a text it accepts must write back to a text it reads the same.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "settings/SettingsText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<lumetra::EditSettings> settings = lumetra::ReadSettingsText(text);
    if (settings) {
        const QString written = lumetra::WriteSettingsText(*settings);
        const std::optional<lumetra::EditSettings> again = lumetra::ReadSettingsText(written);
        if (!again || lumetra::WriteSettingsText(*again) != written) std::abort();
    }
    return 0;
}
