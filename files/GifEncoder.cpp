// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/GifEncoder.h"

#include <gif_lib.h>

#include <cstdint>
#include <new>
#include <vector>

#include "files/GifPalette.h"
#include "files/Owned.h"

namespace lumetra {
namespace {

constexpr int kMaxGifSide = 65535;  // sides are 16-bit fields in the file

// Fails with the reason in *error, when the caller asked for it.
QByteArray Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return {};
}

int AppendToBuffer(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

}  // namespace

QByteArray EncodeGif(const QImage& source, QString* error) {
    const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();
    if (rgba.isNull() || width < 1 || height < 1)
        return Fail(error, QStringLiteral("There is no picture to encode."));
    if (width > kMaxGifSide || height > kMaxGifSide)
        return Fail(error,
                    QStringLiteral("GIF cannot hold a picture wider or higher than 65535 pixels."));
    GifPalette palette;
    if (!ChooseGifPalette(rgba, &palette, error)) return {};
    std::vector<GifPixelType> indexes;
    try {
        indexes.resize(std::size_t(width) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        return Fail(error, QStringLiteral("Not enough memory to encode the picture."));
    }
    DitherOntoPalette(rgba, palette, indexes.data());
    const int transparent = palette.transparent;

    // GIF colour tables hold a power of two entries, at least two.
    int tableSize = 2;
    while (tableSize < int(palette.colours.size())) tableSize *= 2;
    std::vector<GifColorType> colours(std::size_t(tableSize), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < palette.colours.size(); ++i)
        colours[i] =
            GifColorType{palette.colours[i][0], palette.colours[i][1], palette.colours[i][2]};
    Owned<ColorMapObject, GifFreeMapObject> map(GifMakeMapObject(tableSize, colours.data()));
    if (!map) return Fail(error, QStringLiteral("Not enough memory to encode the picture."));

    QByteArray out;
    int status = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &status);
    if (!gif) return Fail(error, QString::fromUtf8(GifErrorString(status)));
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_OK;
    if (ok && transparent >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor = transparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok =
            EGifPutLine(gif, indexes.data() + std::size_t(y) * std::size_t(width), width) == GIF_OK;
    int failure = ok ? 0 : gif->Error;
    int closeStatus = 0;
    if (EGifCloseFile(gif, &closeStatus) != GIF_OK) {
        ok = false;
        if (failure == 0) failure = closeStatus;
    }
    if (!ok)
        return Fail(error, QStringLiteral("The GIF encoder failed: %1")
                               .arg(QString::fromUtf8(GifErrorString(failure))));
    return out;
}

}  // namespace lumetra
