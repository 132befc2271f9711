// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/BufferPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace lumetra {
namespace {

// Five frames cover the pattern of a pass: the three float frames a blur
// holds at once (its input, the blurred rows and its output), the decoded
// source, and the shown result of the pass before, which the view still
// holds while the next one is converted. With one fewer, every pass with a
// blur faulted in a fresh 8-bit frame (90 MB on a 24-megapixel photo).
constexpr std::size_t kMaxCachedBuffers = 5;
// The frames of a preview (a screen-sized copy of the photo) are kept apart,
// within a budget of their own, so that previews and full passes do not
// push each other's frames out.
constexpr std::size_t kPreviewFrameBytes = std::size_t(48) << 20;
constexpr std::size_t kPreviewBudgetBytes = std::size_t(64) << 20;
// Frames below this size are not worth keeping: malloc serves them well.
constexpr std::size_t kMinPooledBytes = std::size_t(4) << 20;

// Large frames are aligned to 2 MB and asked to live on huge pages: kernels
// that walk down columns or along slanted lines touch a new row, and so a
// new page, at almost every step, and with 4 KB pages those steps miss the
// address translation cache.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

float* AllocateFrame(std::size_t bytes) {
    const std::size_t rounded = ((bytes + kHugePage - 1) / kHugePage) * kHugePage;
    void* data = std::aligned_alloc(kHugePage, rounded);
    if (data) madvise(data, rounded, MADV_HUGEPAGE);  // a hint; failure is harmless
    return static_cast<float*>(data);
}

struct CachedBuffer {
    float* data;
    std::size_t floats;
};

class Pool {
  public:
    float* Take(std::size_t floats) {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < cached_.size(); ++i) {
            if (cached_[i].floats == floats) {
                float* data = cached_[i].data;
                cached_.erase(cached_.begin() + std::ptrdiff_t(i));
                return data;
            }
        }
        return nullptr;
    }

    void Give(float* data, std::size_t floats) {
        {
            std::lock_guard lock(mutex_);
            const std::size_t bytes = floats * sizeof(float);
            std::size_t previewBytes = 0, large = 0;
            for (const CachedBuffer& buffer : cached_) {
                if (buffer.floats * sizeof(float) <= kPreviewFrameBytes)
                    previewBytes += buffer.floats * sizeof(float);
                else
                    ++large;
            }
            const bool keep = bytes <= kPreviewFrameBytes
                                  ? previewBytes + bytes <= kPreviewBudgetBytes
                                  : large < kMaxCachedBuffers;
            if (keep) {
                cached_.push_back({data, floats});
                return;
            }
        }
        std::free(data);
    }

    void Clear() {
        std::vector<CachedBuffer> old;
        {
            std::lock_guard lock(mutex_);
            old.swap(cached_);
        }
        for (const CachedBuffer& buffer : old) std::free(buffer.data);
    }

    std::size_t Bytes() {
        std::lock_guard lock(mutex_);
        std::size_t bytes = 0;
        for (const CachedBuffer& buffer : cached_) bytes += buffer.floats * sizeof(float);
        return bytes;
    }

  private:
    std::mutex mutex_;
    std::vector<CachedBuffer> cached_;
};

// Never destroyed: frames may still come back while the program ends.
Pool& ThePool() {
    static Pool* pool = new Pool;
    return *pool;
}

}  // namespace

std::shared_ptr<float[]> AcquireFloatBuffer(std::size_t floats) {
    const std::size_t bytes = ((floats * sizeof(float) + 63) / 64) * 64;
    if (bytes < kMinPooledBytes) {
        float* data = static_cast<float*>(std::aligned_alloc(64, std::max<std::size_t>(bytes, 64)));
        if (!data) throw std::bad_alloc();
        return std::shared_ptr<float[]>(data, [](float* p) { std::free(p); });
    }
    float* data = ThePool().Take(floats);
    if (!data) {
        data = AllocateFrame(bytes);
        if (!data) {
            // Give the cached frames back and try once more before failing.
            ThePool().Clear();
            data = AllocateFrame(bytes);
            if (!data) throw std::bad_alloc();
        }
    }
    return std::shared_ptr<float[]>(data, [floats](float* p) { ThePool().Give(p, floats); });
}

QImage AcquireImage(int width, int height, QImage::Format format) {
    const int bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    if (width <= 0 || height <= 0 || (bitsPerPixel != 32 && bitsPerPixel != 64))
        return QImage(width, height, format);
    const qsizetype rowBytes = qsizetype(width) * (bitsPerPixel / 8);
    const std::size_t bytes = std::size_t(rowBytes) * std::size_t(height);
    if (bytes < kMinPooledBytes) return QImage(width, height, format);
    try {
        // The frame is held by a shared pointer that the QImage's clean-up
        // lets go of; the pool takes it back from there.
        auto* holder = new std::shared_ptr<float[]>(AcquireFloatBuffer((bytes + 3) / 4));
        return QImage(
            reinterpret_cast<uchar*>(holder->get()), width, height, rowBytes, format,
            [](void* info) { delete static_cast<std::shared_ptr<float[]>*>(info); }, holder);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
}

void ReleaseCachedBuffers() {
    ThePool().Clear();
}

std::size_t CachedBufferBytes() {
    return ThePool().Bytes();
}

}  // namespace lumetra
