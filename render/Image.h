// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's picture: RGBA with straight (not premultiplied) alpha, one
// contiguous buffer, one pixel per point. A picture read from an 8-bit file
// keeps its 8-bit pixels until a stage changes them, so a pass whose stages
// are all at rest never pays for a float copy; every stage that computes
// writes float channels in 0..1.
#pragma once

#include <QImage>
#include <cstddef>
#include <memory>

namespace lumetra {

class Image {
  public:
    // The empty picture, 0 x 0.
    Image() = default;

    // A float picture of the given size, fully transparent.
    static Image Create(int width, int height);
    // A float picture whose pixels the caller will all write.
    static Image CreateUninitialised(int width, int height);
    // Wraps an 8-bit picture without copying where its layout allows
    // (RGBA8888, RGBX8888, ARGB32, RGB32); other layouts are converted, and
    // 16-bit ones become float so that no precision is lost.
    static Image FromQImage(const QImage& image);

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    std::size_t pixelCount() const { return std::size_t(width_) * std::size_t(height_); }

    // True when the pixels are held as floats.
    bool isFloat() const { return bool(pixels_); }

    // Float rows (float pictures only): 4 floats per pixel.
    const float* row(int y) const { return pixels_.get() + std::size_t(y) * rowFloats(); }
    // Writable rows, for the operation that has just created this picture.
    float* row(int y) { return pixels_.get() + std::size_t(y) * rowFloats(); }
    std::size_t rowFloats() const { return std::size_t(width_) * 4; }

    // A row as floats whatever the storage: float rows are returned in
    // place, 8-bit rows are converted into scratch (rowFloats() floats).
    const float* rowAsFloat(int y, float* scratch) const;

    // The same picture held as floats (itself when it already is).
    Image toFloat() const;

    // The picture as 8 bits per channel with straight alpha, for showing and
    // saving: ARGB32, or RGB32 when every pixel is opaque. An 8-bit picture
    // is handed out as it is held, without copying.
    QImage toQImage() const;

    // The 8-bit pixels of an 8-bit picture (null for float pictures).
    const QImage& eightBit() const { return bytes_; }

    // True when both pictures are views of the same pixels.
    bool sharesPixelsWith(const Image& other) const;

    // Writing in place. An operation that was handed its picture to keep
    // (moved in) may change the pixels where they stand instead of copying
    // a whole frame; detach() first makes sure no other picture sees it.

    // Gives this picture pixels of its own, copying them (in the same
    // storage, 8-bit or float) only when another picture shares them.
    // Throws std::bad_alloc when the copy cannot be made.
    void detach();
    // A writable 8-bit row of an 8-bit picture, in its storage's byte order
    // (eightBitIsBgra()); call detach() first.
    unsigned char* eightBitRow(int y);
    // True when the 8-bit pixels are stored B, G, R, A in memory (ARGB32 and
    // RGB32); false for R, G, B, A (RGBA8888, RGBX8888).
    bool eightBitIsBgra() const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::shared_ptr<float[]> pixels_;  // float storage
    QImage bytes_;                     // 8-bit storage
};

// 8-bit value to float, exactly v / 255.
const float* ByteToFloatTable();

// Float in 0..1 to 8 bits, rounded; NaN and values below 0 give 0.
inline unsigned char FloatToByte(float v) {
    v = v > 0.f ? v : 0.f;
    v = v < 1.f ? v : 1.f;
    return static_cast<unsigned char>(v * 255.f + 0.5f);
}

}  // namespace lumetra
