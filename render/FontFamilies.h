// SPDX-License-Identifier: GPL-3.0-or-later
// The text watermark's font families. The font pop-up offers twenty family
// names that a Linux desktop rarely has; each one resolves to the family
// itself when installed, else to the first installed of a few free families
// that look like it, so the watermark keeps its character instead of
// falling on whatever family happens to sort first.
#pragma once

#include <QString>
#include <QStringList>

namespace lumetra {

// The family to draw with for an entry of the font pop-up: the entry's name
// when that family is installed; else the first installed of its free
// look-alikes; else the desktop's default sans-serif family; else the first
// installed family that can draw Latin letters; else the first installed
// family. An index outside the pop-up (no selection) has no name and takes
// the same fallbacks. Safe to call from the render worker.
QString ResolveFontFamily(int comboIndex);

// The same for a family name.
QString ResolveFontFamilyName(const QString& name);

// The free families that stand in for a pop-up name, best first (empty for
// names without look-alikes).
const QStringList& LookAlikeFamilies(const QString& name);

}  // namespace lumetra
