// SPDX-License-Identifier: GPL-3.0-or-later
// The Gaussian blur the blur effects share. It runs as a fourth-order
// recursive filter (Deriche's), so its cost per pixel does not grow with
// sigma; it stays within 0.0003 of the exact sampled Gaussian on a
// black-to-white step at every sigma from 1 to 2000 pixels (0.002 on the
// finest detail at the picture's edge from sigma 24 up, where it runs on a
// picture of half the size).
// Colours are blurred premultiplied and the edge pixels are repeated beyond
// the border.
#pragma once

#include <functional>

#include "render/Image.h"

namespace lumetra::fx {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Finishes a run of `count` blurred pixels of row y starting at column x
// (picture coordinates), in place: they arrive premultiplied and are left as
// the effect wants them. Called from worker threads, each pixel of the
// region exactly once, in no particular order.
using FinishRun = std::function<void(int x, int y, int count, float* pixels)>;

// Blurs `region` of `source` as if the region were the whole picture (its
// own edge pixels repeated beyond it) with the given sigma in pixels (0.5
// or more), writes the result into the same pixels of `target` (float, at
// least as large) and hands each run of it to `finish`. When `finishReads`
// is given (a float picture), `finish` reads the same pixels of it too, and
// they are fetched ahead like the rest.
void GaussianBlurRegion(const Image& source, Rect region, double sigma, Image& target,
                        const FinishRun& finish, const Image* finishReads = nullptr);

// The largest sigma the filter is run with; larger ones blur as this one.
inline constexpr double kMaxGaussianSigma = 2000.0;

}  // namespace lumetra::fx
