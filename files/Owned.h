// SPDX-License-Identifier: GPL-3.0-or-later
// An owner for an object of a codec library that the library frees with a
// function of its own (heif_context_free, avifDecoderDestroy, ...).
#pragma once

#include <memory>

namespace lumetra {

template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* object) const {
        Free(object);
    }
};

// The object, freed with Free when its owner goes.
template <class T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

}  // namespace lumetra
