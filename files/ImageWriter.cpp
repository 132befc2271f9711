// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the result: bitmap, encoding into memory, then one atomic write.
// Nothing touches the disk until the whole file has been encoded.
#include "files/AtomicFile.h"
#include "files/ImageEncoders.h"
#include "files/ImageFiles.h"
#include "files/SaveBitmap.h"
#include "render/ImageTools.h"

namespace lumetra {

bool ImageTools::SaveImage(const QImage& image, const QString& path, int formatIndex,
                           double quality) {
    const std::optional<SaveFormat> format = SaveFormatForIndex(formatIndex);
    if (!format) return false;
    const QImage bitmap = DrawSaveBitmap(image);
    if (bitmap.isNull()) return false;
    const QByteArray bytes = EncodeForSave(bitmap, *format, quality);
    if (bytes.isEmpty()) return false;
    return WriteFileAtomically(path, bytes);
}

}  // namespace lumetra
