// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG XL through libjxl, on all cores with its thread pool runner. The
// decoder turns the pixels upright by the codestream's orientation itself;
// animated files give their first frame; pixels of more than 8 bits (and
// float HDR pixels, clamped to 0..1) come as 16-bit.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <QThread>
#include <algorithm>
#include <cstring>

#include "files/CodecReaders.h"
#include "files/ExifOrientation.h"

namespace lumetra {
namespace {

const QString kDamaged =
    QStringLiteral("The image could not be decoded: the JPEG XL data is damaged or cut short.");

// The boxes a JPEG XL container keeps its Exif and XMP in, decompressed.
struct Boxes {
    QByteArray exif, xmp;
};

// Runs the decoder over the whole file. With `picture` null only the
// header is read (into *info); with `boxes` set the Exif and XMP boxes are
// collected instead of the pixels.
bool Run(const QByteArray& data, JxlBasicInfo* info, CodecPicture* picture, Boxes* boxes,
         std::int64_t maxPixels, QString* error) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder) {
        *error = QStringLiteral("Not enough memory for the image.");
        return false;
    }
    JxlThreadParallelRunnerPtr runner;
    int events = JXL_DEC_BASIC_INFO;
    if (picture) {
        runner =
            JxlThreadParallelRunnerMake(nullptr, size_t(std::max(1, QThread::idealThreadCount())));
        if (JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS) {
            *error = QStringLiteral("libjxl could not be set up.");
            return false;
        }
        events |= JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE;
    }
    if (boxes) {
        events = JXL_DEC_BOX;
        JxlDecoderSetDecompressBoxes(decoder.get(), JXL_TRUE);
    }
    if (JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS) {
        *error = QStringLiteral("libjxl could not be set up.");
        return false;
    }
    JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                       size_t(data.size()));
    JxlDecoderCloseInput(decoder.get());

    JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    QByteArray icc;
    QByteArray* box = nullptr;  // the box being collected
    qsizetype boxFilled = 0;
    const auto releaseBox = [&] {
        if (!box) return;
        const size_t unused = JxlDecoderReleaseBoxBuffer(decoder.get());
        box->resize(box->size() - qsizetype(unused));
        box = nullptr;
    };
    while (true) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        switch (status) {
            case JXL_DEC_BASIC_INFO: {
                if (JxlDecoderGetBasicInfo(decoder.get(), info) != JXL_DEC_SUCCESS) {
                    *error = kDamaged;
                    return false;
                }
                if (CodecAboveLimit(info->xsize, info->ysize, maxPixels)) {
                    *error = CodecTooLarge(info->xsize, info->ysize);
                    return false;
                }
                if (!picture && !boxes) return true;
                if (info->bits_per_sample > 8 || info->exponent_bits_per_sample > 0)
                    format.data_type = JXL_TYPE_UINT16;
                break;
            }
            case JXL_DEC_COLOR_ENCODING: {
                size_t size = 0;
                if (JxlDecoderGetICCProfileSize(decoder.get(), nullptr,
                                                JXL_COLOR_PROFILE_TARGET_DATA,
                                                &size) == JXL_DEC_SUCCESS &&
                    size > 0 && size < (size_t(64) << 20)) {
                    icc.resize(qsizetype(size));
                    if (JxlDecoderGetColorAsICCProfile(
                            decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                            reinterpret_cast<uint8_t*>(icc.data()), size) != JXL_DEC_SUCCESS)
                        icc.clear();
                }
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                const QSize size =
                    OrientedSize(QSize(int(info->xsize), int(info->ysize)), int(info->orientation));
                picture->image =
                    QImage(size, format.data_type == JXL_TYPE_UINT16 ? QImage::Format_RGBA64
                                                                     : QImage::Format_RGBA8888);
                if (picture->image.isNull()) {
                    *error = QStringLiteral("Not enough memory for the image.");
                    return false;
                }
                // Rows without padding, as libjxl writes them.
                format.align = size_t(picture->image.bytesPerLine());
                size_t needed = 0;
                if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) !=
                        JXL_DEC_SUCCESS ||
                    needed > size_t(picture->image.sizeInBytes()) ||
                    JxlDecoderSetImageOutBuffer(decoder.get(), &format, picture->image.bits(),
                                                size_t(picture->image.sizeInBytes())) !=
                        JXL_DEC_SUCCESS) {
                    *error = kDamaged;
                    return false;
                }
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                // The first frame is all that is shown.
                SetColourSpaceFromIcc(&picture->image, icc);
                return true;
            case JXL_DEC_BOX: {
                releaseBox();
                JxlBoxType type;
                if (JxlDecoderGetBoxType(decoder.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS) break;
                if (std::memcmp(type, "Exif", 4) == 0 && boxes->exif.isEmpty())
                    box = &boxes->exif;
                else if (std::memcmp(type, "xml ", 4) == 0 && boxes->xmp.isEmpty())
                    box = &boxes->xmp;
                if (box) {
                    box->resize(64 << 10);
                    boxFilled = 0;
                    JxlDecoderSetBoxBuffer(decoder.get(), reinterpret_cast<uint8_t*>(box->data()),
                                           size_t(box->size()));
                }
                break;
            }
            case JXL_DEC_BOX_NEED_MORE_OUTPUT: {
                const size_t unused = JxlDecoderReleaseBoxBuffer(decoder.get());
                boxFilled = box->size() - qsizetype(unused);
                if (box->size() >= (qsizetype(64) << 20)) {
                    box->clear();
                    box = nullptr;
                    break;
                }
                box->resize(box->size() * 2);
                JxlDecoderSetBoxBuffer(decoder.get(),
                                       reinterpret_cast<uint8_t*>(box->data()) + boxFilled,
                                       size_t(box->size() - boxFilled));
                break;
            }
            case JXL_DEC_SUCCESS:
                releaseBox();
                if (boxes) return true;
                *error = kDamaged;
                return false;
            default:  // an error, or input that ends before the picture does
                releaseBox();
                if (boxes) return true;
                *error = kDamaged;
                return false;
        }
    }
}

}  // namespace

QSize JxlSize(const QByteArray& data, QString* error) {
    JxlBasicInfo info;
    if (!Run(data, &info, nullptr, nullptr, std::numeric_limits<std::int64_t>::max(), error))
        return {};
    return OrientedSize(QSize(int(info.xsize), int(info.ysize)), int(info.orientation));
}

CodecPicture DecodeJxl(const QByteArray& data, std::int64_t maxPixels) {
    CodecPicture out;
    JxlBasicInfo info;
    if (!Run(data, &info, &out, nullptr, maxPixels, &out.error)) out.image = QImage();
    return out;
}

EmbeddedProperties JxlProperties(const QByteArray& data) {
    EmbeddedProperties properties;
    JxlBasicInfo info;
    Boxes boxes;
    QString error;
    Run(data, &info, nullptr, &boxes, std::numeric_limits<std::int64_t>::max(), &error);
    properties.exif = ExifAfterOffset(boxes.exif);
    properties.xmp = boxes.xmp;
    return properties;
}

}  // namespace lumetra
