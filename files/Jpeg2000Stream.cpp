// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/Jpeg2000Stream.h"

#include <QIODevice>
#include <cstring>
#include <limits>

namespace lumetra::jp2 {
namespace {

constexpr OPJ_SIZE_T kChunk = 1 << 20;
// Reading only the headers of a file wants far less at a time.
constexpr OPJ_SIZE_T kDeviceChunk = 1 << 16;
constexpr OPJ_SIZE_T kEndOfStream = OPJ_SIZE_T(-1);

OPJ_SIZE_T Read(void* out, OPJ_SIZE_T count, void* user) {
    auto* in = static_cast<ReadBuffer*>(user);
    const OPJ_OFF_T size = in->data->size();
    if (in->position >= size) return kEndOfStream;
    const OPJ_SIZE_T left = OPJ_SIZE_T(size - in->position);
    const OPJ_SIZE_T n = count < left ? count : left;
    std::memcpy(out, in->data->constData() + in->position, n);
    in->position += OPJ_OFF_T(n);
    return n;
}

OPJ_OFF_T ReadSkip(OPJ_OFF_T count, void* user) {
    auto* in = static_cast<ReadBuffer*>(user);
    const OPJ_OFF_T size = in->data->size();
    if (count < 0) {
        // OpenJPEG only skips forward; a step back is answered as a failure.
        return -1;
    }
    const OPJ_OFF_T left = size - in->position;
    const OPJ_OFF_T n = count < left ? count : left;
    in->position += n;
    return n;
}

OPJ_BOOL ReadSeek(OPJ_OFF_T offset, void* user) {
    auto* in = static_cast<ReadBuffer*>(user);
    if (offset < 0 || offset > OPJ_OFF_T(in->data->size())) return OPJ_FALSE;
    in->position = offset;
    return OPJ_TRUE;
}

OPJ_SIZE_T DeviceRead(void* out, OPJ_SIZE_T count, void* user) {
    auto* device = static_cast<QIODevice*>(user);
    const qint64 n = device->read(static_cast<char*>(out), qint64(count));
    return n > 0 ? OPJ_SIZE_T(n) : kEndOfStream;
}

OPJ_OFF_T DeviceSkip(OPJ_OFF_T count, void* user) {
    auto* device = static_cast<QIODevice*>(user);
    if (count < 0) return -1;  // as for memory: only forward
    const qint64 left = device->size() - device->pos();
    const OPJ_OFF_T n = count < left ? count : left;
    return device->seek(device->pos() + n) ? n : -1;
}

OPJ_BOOL DeviceSeek(OPJ_OFF_T offset, void* user) {
    auto* device = static_cast<QIODevice*>(user);
    if (offset < 0 || offset > device->size()) return OPJ_FALSE;
    return device->seek(offset) ? OPJ_TRUE : OPJ_FALSE;
}

// Makes room for bytes up to end (zero-filled), growing geometrically.
bool Reserve(WriteBuffer* out, OPJ_OFF_T end) {
    if (end < 0 || end > OPJ_OFF_T(std::numeric_limits<qsizetype>::max() / 2)) return false;
    if (end > OPJ_OFF_T(out->data.size())) {
        qsizetype grown = out->data.size() + out->data.size() / 2 + qsizetype(kChunk);
        if (grown < qsizetype(end)) grown = qsizetype(end);
        const qsizetype old = out->data.size();
        out->data.resize(grown);
        if (out->data.size() != grown) return false;
        std::memset(out->data.data() + old, 0, std::size_t(grown - old));
    }
    return true;
}

OPJ_SIZE_T Write(void* bytes, OPJ_SIZE_T count, void* user) {
    auto* out = static_cast<WriteBuffer*>(user);
    if (!Reserve(out, out->position + OPJ_OFF_T(count))) {
        out->failed = true;
        return kEndOfStream;
    }
    std::memcpy(out->data.data() + out->position, bytes, count);
    out->position += OPJ_OFF_T(count);
    if (out->position > out->end) out->end = out->position;
    return count;
}

OPJ_OFF_T WriteSkip(OPJ_OFF_T count, void* user) {
    auto* out = static_cast<WriteBuffer*>(user);
    const OPJ_OFF_T target = out->position + count;
    if (target < 0 || !Reserve(out, target)) {
        out->failed = true;
        return -1;
    }
    out->position = target;
    if (out->position > out->end) out->end = out->position;
    return count;
}

OPJ_BOOL WriteSeek(OPJ_OFF_T offset, void* user) {
    auto* out = static_cast<WriteBuffer*>(user);
    if (offset < 0 || !Reserve(out, offset)) {
        out->failed = true;
        return OPJ_FALSE;
    }
    out->position = offset;
    if (out->position > out->end) out->end = out->position;
    return OPJ_TRUE;
}

void KeepFirstError(const char* message, void* user) {
    auto* messages = static_cast<Messages*>(user);
    if (messages->error.isEmpty()) messages->error = QString::fromUtf8(message).trimmed();
}

void Ignore(const char*, void*) {}

}  // namespace

StreamPtr MakeReadStream(ReadBuffer* buffer) {
    StreamPtr stream(opj_stream_create(kChunk, OPJ_TRUE));
    if (!stream) return stream;
    opj_stream_set_user_data(stream.get(), buffer, nullptr);
    opj_stream_set_user_data_length(stream.get(), OPJ_UINT64(buffer->data->size()));
    opj_stream_set_read_function(stream.get(), Read);
    opj_stream_set_skip_function(stream.get(), ReadSkip);
    opj_stream_set_seek_function(stream.get(), ReadSeek);
    return stream;
}

StreamPtr MakeDeviceReadStream(QIODevice* device) {
    if (!device->seek(0)) return {};
    StreamPtr stream(opj_stream_create(kDeviceChunk, OPJ_TRUE));
    if (!stream) return stream;
    opj_stream_set_user_data(stream.get(), device, nullptr);
    opj_stream_set_user_data_length(stream.get(), OPJ_UINT64(device->size()));
    opj_stream_set_read_function(stream.get(), DeviceRead);
    opj_stream_set_skip_function(stream.get(), DeviceSkip);
    opj_stream_set_seek_function(stream.get(), DeviceSeek);
    return stream;
}

StreamPtr MakeWriteStream(WriteBuffer* buffer) {
    StreamPtr stream(opj_stream_create(kChunk, OPJ_FALSE));
    if (!stream) return stream;
    opj_stream_set_user_data(stream.get(), buffer, nullptr);
    opj_stream_set_write_function(stream.get(), Write);
    opj_stream_set_skip_function(stream.get(), WriteSkip);
    opj_stream_set_seek_function(stream.get(), WriteSeek);
    return stream;
}

void Messages::Attach(opj_codec_t* codec) {
    opj_set_error_handler(codec, KeepFirstError, this);
    opj_set_warning_handler(codec, Ignore, nullptr);
    opj_set_info_handler(codec, Ignore, nullptr);
}

}  // namespace lumetra::jp2
