// SPDX-License-Identifier: GPL-3.0-or-later
// OpenJPEG streams over memory, the codec and image handles as owners, and
// the message collector the encoder and the decoder share.
#pragma once

#include <openjpeg.h>

#include <QByteArray>
#include <QString>

#include "files/Owned.h"

class QIODevice;

namespace lumetra::jp2 {

using CodecPtr = Owned<opj_codec_t, opj_destroy_codec>;
using StreamPtr = Owned<opj_stream_t, opj_stream_destroy>;
using ImagePtr = Owned<opj_image_t, opj_image_destroy>;

// Bytes being read: the stream never reads past the end of data.
struct ReadBuffer {
    const QByteArray* data = nullptr;
    OPJ_OFF_T position = 0;
};

// Bytes being written: the JP2 writer goes back to fill in box lengths, so
// writes may land anywhere; the buffer grows as needed.
struct WriteBuffer {
    QByteArray data;
    OPJ_OFF_T position = 0;
    OPJ_OFF_T end = 0;  // one past the furthest byte written
    bool failed = false;
};

// An input stream over buffer (which must outlive the stream).
StreamPtr MakeReadStream(ReadBuffer* buffer);
// An input stream over an open file, read from its start as the decoder
// asks, seeking over what it skips (the device must outlive the stream).
StreamPtr MakeDeviceReadStream(QIODevice* device);
// An output stream into buffer (which must outlive the stream).
StreamPtr MakeWriteStream(WriteBuffer* buffer);

// Keeps the first error OpenJPEG reports on a codec; warnings and
// information are dropped.
struct Messages {
    QString error;
    void Attach(opj_codec_t* codec);
};

}  // namespace lumetra::jp2
