// SPDX-License-Identifier: GPL-3.0-or-later
// Recycles the large float frames of a render pass. Every stage makes a new
// image; without recycling, each would fault in hundreds of megabytes of
// fresh pages. Freed frames wait here for the next stage of the same size.
#pragma once

#include <cstddef>
#include <memory>

namespace lumetra {

// A zero-initialised-or-not buffer of `floats` floats, 64-byte aligned. The
// memory goes back to the pool when the last owner lets go.
std::shared_ptr<float[]> AcquireFloatBuffer(std::size_t floats);

// Frees every frame the pool is holding (called when the editor goes idle).
void ReleaseCachedBuffers();

// Bytes the pool is holding right now, for tests and benchmarks.
std::size_t CachedBufferBytes();

}  // namespace lumetra
