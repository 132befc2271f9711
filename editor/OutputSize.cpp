// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/OutputSize.h"

#include <cmath>

namespace lumetra {

namespace {
// The largest side a saved picture may have (the JPEG limit is 65,535).
constexpr double kMaxOutputSide = 1 << 20;
}  // namespace

float OutputAspectRatio(QSize shown, QSizeF sourceSize) {
    if (!(sourceSize.width() > 0) || !(sourceSize.height() > 0)) return 1.f;
    return float(double(shown.width()) / double(shown.height()));
}

std::optional<QString> KeepAspectPartner(float typed, float ratio, bool fromWidth) {
    const float partner = fromWidth ? typed / ratio : typed * ratio;
    const double rounded = std::round(double(partner));
    if (!std::isfinite(rounded) || rounded < -9.2e18 || rounded > 9.2e18) return std::nullopt;
    return QString::number(static_cast<long long>(rounded));
}

QImage DrawAtOutputSize(const QImage& shown, double width, double height) {
    if (shown.isNull() || !(width >= 1.0) || !(height >= 1.0) || width > kMaxOutputSide ||
        height > kMaxOutputSide)
        return QImage();
    const QSize size{int(width), int(height)};
    if (size == shown.size()) return shown;
    // Scaled premultiplied, so transparent pixels lend no colour to their
    // neighbours, then back to straight alpha for the encoders.
    const bool alpha = shown.hasAlphaChannel();
    const QImage source =
        shown.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QImage scaled = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) return QImage();
    return alpha ? scaled.convertToFormat(QImage::Format_ARGB32) : scaled;
}

}  // namespace lumetra
