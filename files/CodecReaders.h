// SPDX-License-Identifier: GPL-3.0-or-later
// The source formats read through their own libraries rather than Qt's
// plug-ins: HEIC/HEIF (libheif), AVIF (libavif), WebP (libwebp), JPEG XL
// (libjxl) and camera raw files (LibRaw). Each decoder works from the whole
// file in memory, checks the size its header claims against the pixel
// limit before any pixel is decoded, and hands back the picture already
// upright, with the colour space its profile gives, ready for the reader's
// conversion to sRGB.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace lumetra {

enum class CodecFormat { None, Heif, Avif, Webp, Jxl, Raw };

// The format the first bytes of a file tell (at least 32 of them), or
// None. Camera raw files are known by their content where it is their own
// (CR3, CRW, RAF, ORF, RW2, MRW, X3F); the many raw formats that are TIFF
// files inside (DNG, CR2, NEF, ARW, ...) are known by the raw extension of
// their name, since their content alone would make them plain TIFFs.
CodecFormat CodecFormatOf(const QByteArray& head, const QString& path);

// The extensions of the camera raw formats LibRaw reads, lower case.
const QStringList& RawExtensions();

struct CodecPicture {
    QImage image;  // upright; RGBA8888, or RGBA64 for deeper sources
    QString error;
    QString damage;  // part of the picture could be decoded: what is wrong
};

// A picture that could not be decoded, for the reason given.
inline CodecPicture CodecFailure(const QString& error) {
    return CodecPicture{QImage(), error, QString()};
}

// Decodes the whole file held in data. Refuses, before decoding, a picture
// whose header claims more than maxPixels.
CodecPicture DecodeWithCodec(CodecFormat format, const QByteArray& data, std::int64_t maxPixels);

// The picture's upright size from its header alone; an invalid size with
// the reason in *error when the header cannot be read.
QSize CodecHeaderSize(CodecFormat format, const QByteArray& data, QString* error);

// The Exif block (a TIFF structure, without the "Exif\0\0" of a JPEG
// segment) and the XMP packet a file of these formats holds; either is
// empty when there is none. Raw files are left to exiv2, which reads
// their Exif itself.
struct EmbeddedProperties {
    QByteArray exif;
    QByteArray xmp;
};
EmbeddedProperties CodecProperties(CodecFormat format, const QByteArray& data);

// The per-format decoders behind DecodeWithCodec and CodecHeaderSize.
CodecPicture DecodeHeif(const QByteArray& data, std::int64_t maxPixels);
CodecPicture DecodeAvif(const QByteArray& data, std::int64_t maxPixels);
CodecPicture DecodeWebp(const QByteArray& data, std::int64_t maxPixels);
CodecPicture DecodeJxl(const QByteArray& data, std::int64_t maxPixels);
CodecPicture DecodeRaw(const QByteArray& data, std::int64_t maxPixels);
QSize HeifSize(const QByteArray& data, QString* error);
QSize AvifSize(const QByteArray& data, QString* error);
QSize WebpSize(const QByteArray& data, QString* error);
QSize JxlSize(const QByteArray& data, QString* error);
QSize RawSize(const QByteArray& data, QString* error);
EmbeddedProperties HeifProperties(const QByteArray& data);
EmbeddedProperties AvifProperties(const QByteArray& data);
EmbeddedProperties WebpProperties(const QByteArray& data);
EmbeddedProperties JxlProperties(const QByteArray& data);

// Shared by the decoders.
QString CodecTooLarge(qint64 width, qint64 height);
bool CodecAboveLimit(qint64 width, qint64 height, std::int64_t maxPixels);
// An Exif block as the ISO base media formats and JPEG XL store it: a
// four-byte big-endian offset to the TIFF header, then the block.
QByteArray ExifAfterOffset(const QByteArray& stored);
// The colour space of an ICC profile; invalid when Qt cannot use it.
void SetColourSpaceFromIcc(QImage* image, const QByteArray& icc);
// The colour space of coding-independent code points (ITU-T H.273), as
// HEIF's nclx and AV1 signal them; sRGB and unspecified values leave it
// unset, which the reader takes as sRGB.
void SetColourSpaceFromCicp(QImage* image, int primaries, int transfer);
// Values of `bits` bits in the low bits of 16-bit samples, spread over the
// whole 16-bit range in place.
void SpreadToSixteenBits(QImage* image, int bits);

}  // namespace lumetra
