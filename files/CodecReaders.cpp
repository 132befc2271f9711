// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CodecReaders.h"

#include <QColorSpace>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace lumetra {
namespace {

bool StartsWith(const QByteArray& head, const char* signature, qsizetype length, qsizetype at = 0) {
    return head.size() >= at + length && std::memcmp(head.constData() + at, signature, length) == 0;
}

// An ISO base media file (HEIF, AVIF, CR3) starts with its ftyp box: the
// major brand, then the compatible ones.
CodecFormat FormatOfFtyp(const QByteArray& head) {
    if (!StartsWith(head, "ftyp", 4, 4)) return CodecFormat::None;
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    const qsizetype boxSize = qsizetype(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    const qsizetype end = std::min(head.size(), boxSize);
    QList<QByteArray> brands;
    for (qsizetype at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) brands.append(head.mid(at, 4));
    if (brands.isEmpty()) return CodecFormat::None;
    const auto isAvif = [](const QByteArray& b) { return b == "avif" || b == "avis"; };
    const auto isHeif = [](const QByteArray& b) {
        return b == "heic" || b == "heix" || b == "hevc" || b == "hevx" || b == "heim" ||
               b == "heis" || b == "mif1" || b == "msf1";
    };
    if (brands.front() == "crx ") return CodecFormat::Raw;
    if (isAvif(brands.front())) return CodecFormat::Avif;
    if (brands.front() != "mif1" && brands.front() != "msf1" && isHeif(brands.front()))
        return CodecFormat::Heif;
    for (const QByteArray& brand : brands)
        if (isAvif(brand)) return CodecFormat::Avif;
    for (const QByteArray& brand : brands)
        if (isHeif(brand)) return CodecFormat::Heif;
    return CodecFormat::None;
}

// Raw formats whose first bytes are their own.
bool LooksLikeOwnRaw(const QByteArray& head) {
    return StartsWith(head, "FUJIFILMCCD-RAW", 15) ||       // RAF
           StartsWith(head, "II\x1A\0\0\0HEAPCCDR", 14) ||  // CRW
           StartsWith(head, "IIRO", 4) || StartsWith(head, "IIRS", 4) ||
           StartsWith(head, "MMOR", 4) ||   // ORF
           StartsWith(head, "IIU\0", 4) ||  // RW2, RWL
           StartsWith(head, "\0MRM", 4) ||  // MRW
           StartsWith(head, "FOVb", 4);     // X3F
}

// Pictures that are never raw, whatever the file's name says.
bool LooksLikeOtherFormat(const QByteArray& head) {
    return StartsWith(head, "\xFF\xD8\xFF", 3) || StartsWith(head, "\x89PNG", 4) ||
           StartsWith(head, "GIF8", 4) || StartsWith(head, "BM", 2) ||
           StartsWith(head, "\0\0\0\x0CjP  ", 8) || StartsWith(head, "\xFF\x4F\xFF\x51", 4);
}

}  // namespace

const QStringList& RawExtensions() {
    static const QStringList extensions = {"dng", "cr2", "cr3", "crw", "nef", "nrw", "arw", "srf",
                                           "sr2", "raf", "orf", "rw2", "pef", "srw", "kdc", "dcr",
                                           "mrw", "3fr", "erf", "mef", "mos", "x3f", "iiq", "rwl"};
    return extensions;
}

CodecFormat CodecFormatOf(const QByteArray& head, const QString& path) {
    if (const CodecFormat iso = FormatOfFtyp(head); iso != CodecFormat::None) return iso;
    if (StartsWith(head, "RIFF", 4) && StartsWith(head, "WEBP", 4, 8)) return CodecFormat::Webp;
    if (StartsWith(head, "\xFF\x0A", 2) || StartsWith(head, "\0\0\0\x0CJXL \x0D\x0A\x87\x0A", 12))
        return CodecFormat::Jxl;
    if (LooksLikeOwnRaw(head)) return CodecFormat::Raw;
    const QString extension = QFileInfo(path).suffix().toLower();
    if (RawExtensions().contains(extension) && !LooksLikeOtherFormat(head)) return CodecFormat::Raw;
    return CodecFormat::None;
}

namespace {

// Each format's decoder, header reader and property reader, in the order
// of CodecFormat after None. Raw files leave their properties to exiv2.
struct Codec {
    CodecPicture (*decode)(const QByteArray&, std::int64_t);
    QSize (*size)(const QByteArray&, QString*);
    EmbeddedProperties (*properties)(const QByteArray&);
};

const Codec* CodecOf(CodecFormat format) {
    static const Codec codecs[] = {
        {DecodeHeif, HeifSize, HeifProperties}, {DecodeAvif, AvifSize, AvifProperties},
        {DecodeWebp, WebpSize, WebpProperties}, {DecodeJxl, JxlSize, JxlProperties},
        {DecodeRaw, RawSize, nullptr},
    };
    return format == CodecFormat::None ? nullptr : &codecs[int(format) - 1];
}

const QString kNotAPicture = QStringLiteral("The file is not an image in a format Lumetra reads.");

}  // namespace

CodecPicture DecodeWithCodec(CodecFormat format, const QByteArray& data, std::int64_t maxPixels) {
    if (const Codec* codec = CodecOf(format)) return codec->decode(data, maxPixels);
    return CodecFailure(kNotAPicture);
}

QSize CodecHeaderSize(CodecFormat format, const QByteArray& data, QString* error) {
    if (const Codec* codec = CodecOf(format)) return codec->size(data, error);
    *error = kNotAPicture;
    return {};
}

EmbeddedProperties CodecProperties(CodecFormat format, const QByteArray& data) {
    const Codec* codec = CodecOf(format);
    return codec && codec->properties ? codec->properties(data) : EmbeddedProperties{};
}

QString CodecTooLarge(qint64 width, qint64 height) {
    return QStringLiteral("The image is too large (%1 x %2 pixels).").arg(width).arg(height);
}

bool CodecAboveLimit(qint64 width, qint64 height, std::int64_t maxPixels) {
    return width <= 0 || height <= 0 || width > (1 << 20) || height > (1 << 20) ||
           width * height > maxPixels;
}

QByteArray ExifAfterOffset(const QByteArray& stored) {
    if (stored.size() < 4) return {};
    const auto* p = reinterpret_cast<const unsigned char*>(stored.constData());
    const quint32 offset = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    if (offset > quint32(stored.size() - 4)) return {};
    QByteArray block = stored.mid(4 + offset);
    // Some writers keep the "Exif\0\0" of a JPEG segment in front.
    if (block.startsWith(QByteArrayLiteral("Exif\0\0"))) block.remove(0, 6);
    return block;
}

void SetColourSpaceFromIcc(QImage* image, const QByteArray& icc) {
    if (icc.isEmpty()) return;
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    if (space.isValid()) image->setColorSpace(space);
}

void SetColourSpaceFromCicp(QImage* image, int primaries, int transfer) {
    constexpr int kPrimariesBt709 = 1, kPrimariesP3 = 12;
    constexpr int kTransferLinear = 8, kTransferSrgb = 13, kTransferBt709 = 1;
    const bool srgbCurve = transfer == kTransferSrgb || transfer == kTransferBt709 || transfer == 2;
    if (primaries == kPrimariesP3 && srgbCurve) {
        image->setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    } else if (primaries == kPrimariesP3 && transfer == kTransferLinear) {
        image->setColorSpace(
            QColorSpace(QColorSpace::Primaries::DciP3D65, QColorSpace::TransferFunction::Linear));
    } else if ((primaries == kPrimariesBt709 || primaries == 2) && transfer == kTransferLinear) {
        image->setColorSpace(QColorSpace(QColorSpace::SRgbLinear));
    }
}

void SpreadToSixteenBits(QImage* image, int bits) {
    if (bits >= 16 || bits <= 0) return;
    const quint32 maximum = (1u << bits) - 1;
    for (int y = 0; y < image->height(); ++y) {
        auto* p = reinterpret_cast<quint16*>(image->scanLine(y));
        for (int x = 0; x < 4 * image->width(); ++x) {
            const quint32 v = std::min<quint32>(p[x], maximum);
            p[x] = quint16((v * 65535u + maximum / 2) / maximum);
        }
    }
}

}  // namespace lumetra
