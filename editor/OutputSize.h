// SPDX-License-Identifier: GPL-3.0-or-later
// The output size of a save: the keep-aspect arithmetic of the width and
// height fields, and the result drawn at the size they give. The editor's
// save command and lumetra-batch share these.
#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <optional>

namespace lumetra {

// Width over height of the shown result, in single precision; 1 while no
// source is open (a source size of 0 or less).
float OutputAspectRatio(QSize shown, QSizeF sourceSize);

// The text of the field that keep aspect derives from a typed size: from a
// width, the height w / r; from a height, the width h * r; rounded to the
// nearest whole number with halves away from zero. Nothing when the result
// is not a finite whole number within 64 bits.
std::optional<QString> KeepAspectPartner(float typed, float ratio, bool fromWidth);

// The shown result stretched to fill width x height (fractions cut off),
// smoothly scaled, straight alpha. A null image when either side is below
// one pixel or not a finite number.
QImage DrawAtOutputSize(const QImage& shown, double width, double height);

}  // namespace lumetra
