// SPDX-License-Identifier: GPL-3.0-or-later
// Recycles the large frames of a render pass: the float frames of its
// stages and the 8-bit pictures it decodes and shows. Every stage makes a
// new image; without recycling, each would fault in hundreds of megabytes
// of fresh pages. Freed frames wait here for the next use of the same size.
#pragma once

#include <QImage>
#include <cstddef>
#include <memory>

namespace lumetra {

// A zero-initialised-or-not buffer of `floats` floats, 64-byte aligned. The
// memory goes back to the pool when the last owner lets go.
std::shared_ptr<float[]> AcquireFloatBuffer(std::size_t floats);

// An uninitialised 32-bit picture (ARGB32, RGB32, RGBA8888, RGBX8888) or
// 64-bit one (RGBA64, for 16-bit sources) whose pixels come from the pool,
// so that decoding a photo and converting a result for display reuse warm
// memory instead of faulting in a fresh block every pass. Its memory goes
// back to the pool when the last copy of the QImage is gone. A null image
// when memory runs out.
QImage AcquireImage(int width, int height, QImage::Format format);

// Frees every frame the pool is holding (called when the editor goes idle).
void ReleaseCachedBuffers();

// Bytes the pool is holding right now, for tests and benchmarks.
std::size_t CachedBufferBytes();

}  // namespace lumetra
