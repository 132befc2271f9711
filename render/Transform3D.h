// SPDX-License-Identifier: GPL-3.0-or-later
// The 4 x 4 matrix of the 3D transform effect, held by value. It follows the
// row-vector convention: a point [x y z 1] is multiplied on the left, so
// m41, m42 and m43 translate and m14, m24, m34 give perspective.
#pragma once

#include <array>

namespace lumetra {

struct Transform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    // The identity, which leaves the picture as it is.
    static Transform3D Identity() { return Transform3D{}; }

    // A matrix from sixteen cells in the order m11, m12, ... m44, each
    // widened to double.
    static Transform3D FromCells(const std::array<float, 16>& cells) {
        Transform3D t;
        double* m[16] = {&t.m11, &t.m12, &t.m13, &t.m14, &t.m21, &t.m22, &t.m23, &t.m24,
                         &t.m31, &t.m32, &t.m33, &t.m34, &t.m41, &t.m42, &t.m43, &t.m44};
        for (int i = 0; i < 16; ++i) *m[i] = double(cells[std::size_t(i)]);
        return t;
    }

    bool isIdentity() const { return *this == Identity(); }
    bool operator==(const Transform3D&) const = default;
};

}  // namespace lumetra
