// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsText.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "settings/SettingsFields.h"

namespace lumetra {
namespace {

bool IsNewline(char16_t c) {
    return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// The C library's general (%g) conversion at the given precision, in the C
// locale whatever the user's, with ".0" added to a plain integer so that the
// number reads as a decimal one.
template <class T>
QString GeneralText(T value, int precision) {
    if (std::isnan(value)) return QStringLiteral("nan");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(u'.') && !text.contains(u'e') && !text.contains(u'n'))
        text += QStringLiteral(".0");
    return text;
}

// An optional sign and one or more decimal digits within 64 bits.
bool ParseIntegerText(const QString& text, long long* value) {
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() != text.size()) return false;  // not Latin-1
    qsizetype digitsFrom = 0;
    if (!bytes.isEmpty() && (bytes[0] == '+' || bytes[0] == '-')) digitsFrom = 1;
    if (digitsFrom == bytes.size()) return false;
    for (qsizetype i = digitsFrom; i < bytes.size(); ++i)
        if (bytes[i] < '0' || bytes[i] > '9') return false;
    // from_chars takes a minus sign but no plus sign.
    const char* begin = bytes.constData() + (bytes[0] == '+' ? 1 : 0);
    const char* end = bytes.constData() + bytes.size();
    const auto result = std::from_chars(begin, end, *value);
    return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

QStringList SplitSettingsLines(const QString& text) {
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsNewline(text.at(i).unicode())) {
            pieces << text.mid(start, i - start);
            start = i + 1;
        }
    }
    pieces << text.mid(start);
    return pieces;
}

QString SingleLine(QString text) {
    for (QChar& c : text)
        if (IsNewline(c.unicode())) c = u' ';
    return text;
}

QString FloatText(float value) {
    return GeneralText(value, 6);
}

QString ColorComponentText(double value) {
    return GeneralText(value, 15);
}

QString WriteSettingsText(const EditSettings& settings) {
    QString text;
    text.reserve(2048);
    for (const FieldSpec* field : FieldsByLine()) {
        const FieldValue value = GetField(settings, *field);
        switch (field->kind) {
            case FieldKind::Slider:
            case FieldKind::Stepper:
                text += FloatText(std::get<float>(value));
                break;
            case FieldKind::CheckBox:
            case FieldKind::PopUp:
                text += QString::number(std::get<int>(value));
                break;
            case FieldKind::TextField:
                text += SingleLine(std::get<QString>(value));
                break;
            case FieldKind::ColorWell: {
                const RgbaColor& c = std::get<RgbaColor>(value);
                text += ColorComponentText(c.red) + u'\n' + ColorComponentText(c.green) + u'\n' +
                        ColorComponentText(c.blue);
                break;
            }
        }
        text += u'\n';
    }
    return text;
}

std::optional<EditSettings> ReadSettingsText(const QString& text) {
    const QStringList pieces = SplitSettingsLines(text);
    if (pieces.size() != kSettingsLines + 1) return std::nullopt;
    EditSettings settings;
    for (const FieldSpec* field : FieldsByLine()) {
        const QString& piece = pieces.at(field->line - 1);
        switch (field->kind) {
            case FieldKind::Slider:
            case FieldKind::Stepper: {
                float v = 0.f;
                if (!ParseFloatText(piece, &v)) return std::nullopt;
                SetField(settings, *field, v);
                break;
            }
            case FieldKind::CheckBox: {
                long long v = 0;
                if (!ParseIntegerText(piece, &v) || v < -1 || v > 1) return std::nullopt;
                SetField(settings, *field, int(v));
                break;
            }
            case FieldKind::PopUp: {
                long long v = 0;
                if (!ParseIntegerText(piece, &v) || v < -1 || v >= PopUpItems(*field).size())
                    return std::nullopt;
                SetField(settings, *field, int(v));
                break;
            }
            case FieldKind::TextField:
                SetField(settings, *field, piece);
                break;
            case FieldKind::ColorWell: {
                // Each component is read at the precision it was written
                // with; the colour comes back opaque.
                RgbaColor c;
                if (!ParseDoubleText(pieces.at(field->line - 1), &c.red) ||
                    !ParseDoubleText(pieces.at(field->line), &c.green) ||
                    !ParseDoubleText(pieces.at(field->line + 1), &c.blue))
                    return std::nullopt;
                c.alpha = 1.0;
                SetField(settings, *field, c);
                break;
            }
        }
    }
    return settings;
}

}  // namespace lumetra
