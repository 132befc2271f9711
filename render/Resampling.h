// SPDX-License-Identifier: GPL-3.0-or-later
// Resampling one axis of a picture onto another grid with tent weights,
// widened when shrinking so that every sample counts. Resizing and the logo
// watermark share it.
#pragma once

#include <vector>

namespace lumetra {

// For each output pixel, a run of input samples with their weights
// (normalised) and the part of the pixel that the input covers (less than 1
// only at a fractional edge).
struct ResampleAxis {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights;  // `taps` per output pixel
    std::vector<float> coverage;
    int taps = 0;
};

// `samples` input samples spread over [edge, edge + extent) of the output
// grid; output pixel o is [start + o, start + o + 1).
ResampleAxis MakeResampleAxis(int samples, double edge, double extent, int start, int pixels);

}  // namespace lumetra
