// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a source picture from a file, whatever its extension says: the
// content decides the format. Every render pass reads its source through
// here, so the picture the user sees and the one that is edited agree.
#pragma once

#include <QString>
#include <cstdint>

#include "render/Image.h"

namespace lumetra {

// Pictures above this many pixels are refused rather than risking the
// memory of the whole desktop (a 100-megapixel photo still opens).
constexpr std::int64_t kMaxSourcePixels = std::int64_t(128) << 20;

struct ReadResult {
    Image image;     // empty when the file could not be read
    QString error;   // why, in words a user understands
    bool ok() const { return !image.isEmpty(); }
};

ReadResult ReadImageFile(const QString& path);

}  // namespace lumetra
