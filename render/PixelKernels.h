// SPDX-License-Identifier: GPL-3.0-or-later
// The shared frame of per-pixel operations: the output is a new float
// picture, rows are handed out in bands over the cores, and each band reads
// its input rows as floats (converting 8-bit rows through a small scratch
// row) and writes the output rows in one sweep.
#pragma once

#include <vector>

#include "render/Image.h"
#include "render/Parallel.h"

namespace lumetra {

// rowFn(const float* src, float* dst, int pixels) computes one row.
template <class RowFn>
Image MapRows(const Image& in, RowFn&& rowFn) {
    Image out = Image::CreateUninitialised(in.width(), in.height());
    if (out.isEmpty()) return out;
    const int width = in.width();
    ParallelBands(in.height(), width, [&](int y0, int y1) {
        std::vector<float> scratch(in.isFloat() ? 0 : in.rowFloats());
        for (int y = y0; y < y1; ++y) rowFn(in.rowAsFloat(y, scratch.data()), out.row(y), width);
    });
    return out;
}

}  // namespace lumetra
