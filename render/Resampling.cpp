// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/Resampling.h"

#include <algorithm>
#include <cmath>

namespace lumetra {

ResampleAxis MakeResampleAxis(int samples, double edge, double extent, int start, int pixels) {
    ResampleAxis axis;
    const double step = double(samples) / extent;  // logo samples per canvas pixel
    const double support = std::max(1.0, step);
    // No pixel needs more taps than the logo has samples (a logo shrunk to a
    // speck spreads every sample over one pixel).
    axis.taps = int(std::min(std::ceil(support) * 2.0 + 1.0, double(samples)));
    axis.first.resize(std::size_t(pixels));
    axis.count.resize(std::size_t(pixels));
    axis.coverage.resize(std::size_t(pixels));
    axis.weights.assign(std::size_t(pixels) * std::size_t(axis.taps), 0.f);
    for (int o = 0; o < pixels; ++o) {
        const double p0 = double(start) + o;
        const double covered = std::min(p0 + 1.0, edge + extent) - std::max(p0, edge);
        axis.coverage[std::size_t(o)] = float(std::clamp(covered, 0.0, 1.0));
        // A partly covered edge pixel takes the colour of the logo's edge.
        const double centre = std::clamp((p0 + 0.5 - edge) * step - 0.5, 0.0, double(samples - 1));
        int lo = int(std::max(std::floor(centre - support) + 1.0, 0.0));
        int hi = int(std::min(std::ceil(centre + support) - 1.0, double(samples - 1)));
        if (hi < lo) lo = hi = std::clamp(int(std::lround(centre)), 0, samples - 1);
        hi = std::min(hi, lo + axis.taps - 1);
        float* w = &axis.weights[std::size_t(o) * std::size_t(axis.taps)];
        double sum = 0.0;
        for (int i = lo; i <= hi; ++i) {
            const double v = std::max(0.0, 1.0 - std::abs(i - centre) / support);
            w[i - lo] = float(v);
            sum += v;
        }
        if (sum <= 0.0) {
            w[0] = 1.f;
            hi = lo;
            sum = 1.0;
        }
        for (int i = 0; i <= hi - lo; ++i) w[i] = float(w[i] / sum);
        axis.first[std::size_t(o)] = lo;
        axis.count[std::size_t(o)] = hi - lo + 1;
    }
    return axis;
}

}  // namespace lumetra
