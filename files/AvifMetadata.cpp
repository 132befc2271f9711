// SPDX-License-Identifier: GPL-3.0-or-later
// Adding Exif and XMP items to an AVIF file after it has been encoded.
// libavif can only take metadata while it encodes; the carry-over of a
// source's properties runs after the save, as it does for every format, so
// the items are added to the file's boxes here: an item entry each in the
// item information box, a location each in the item location box (whose
// offsets into the media data move by as much as the meta box grows), a
// content-describes reference to the primary item, and the payloads in a
// media data box of their own at the end of the file.
#include "files/AvifCodec.h"

#include <QList>
#include <cstdint>
#include <optional>

namespace lumetra {
namespace {

struct Box {
    qsizetype start = 0;  // of its header
    qsizetype body = 0;   // of its contents
    qsizetype end = 0;
    QByteArray type;
};

std::uint64_t ReadBig(const QByteArray& b, qsizetype at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | std::uint8_t(b[at + i]);
    return v;
}

void AppendBig(QByteArray* out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out->append(char(value >> (8 * i) & 0xFF));
}

// The boxes in [from, to) of b; nothing when they do not tile it.
std::optional<QList<Box>> Boxes(const QByteArray& b, qsizetype from, qsizetype to) {
    QList<Box> boxes;
    qsizetype at = from;
    while (at < to) {
        if (to - at < 8) return std::nullopt;
        Box box;
        box.start = at;
        std::uint64_t size = ReadBig(b, at, 4);
        box.type = b.mid(at + 4, 4);
        box.body = at + 8;
        if (size == 1) {
            if (to - at < 16) return std::nullopt;
            size = ReadBig(b, at + 8, 8);
            box.body = at + 16;
        } else if (size == 0) {
            size = std::uint64_t(to - at);
        }
        if (size < std::uint64_t(box.body - at) || size > std::uint64_t(to - at))
            return std::nullopt;
        box.end = at + qsizetype(size);
        boxes.append(box);
        at = box.end;
    }
    return boxes;
}

QByteArray MakeBox(const char* type, const QByteArray& contents) {
    QByteArray out;
    AppendBig(&out, std::uint64_t(contents.size() + 8), 4);
    out.append(type, 4);
    out.append(contents);
    return out;
}

struct Location {
    std::uint64_t id = 0;
    int method = 0;
    std::uint64_t reference = 0;
    std::uint64_t base = 0;
    struct Extent {
        std::uint64_t index = 0, offset = 0, length = 0;
    };
    QList<Extent> extents;
};

struct ItemLocations {
    int version = 0, offsetSize = 0, lengthSize = 0, baseSize = 0, indexSize = 0;
    QList<Location> items;
};

std::optional<ItemLocations> ParseIloc(const QByteArray& b, const Box& box) {
    ItemLocations iloc;
    qsizetype at = box.body;
    const auto need = [&](qsizetype n) { return box.end - at >= n; };
    if (!need(6)) return std::nullopt;
    iloc.version = std::uint8_t(b[at]);
    if (iloc.version > 2) return std::nullopt;
    at += 4;
    iloc.offsetSize = std::uint8_t(b[at]) >> 4;
    iloc.lengthSize = std::uint8_t(b[at]) & 15;
    iloc.baseSize = std::uint8_t(b[at + 1]) >> 4;
    iloc.indexSize = iloc.version >= 1 ? std::uint8_t(b[at + 1]) & 15 : 0;
    at += 2;
    const int idSize = iloc.version == 2 ? 4 : 2;
    if (!need(idSize)) return std::nullopt;
    const std::uint64_t count = ReadBig(b, at, idSize);
    at += idSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        Location item;
        if (!need(idSize + (iloc.version >= 1 ? 2 : 0) + 2 + iloc.baseSize + 2))
            return std::nullopt;
        item.id = ReadBig(b, at, idSize);
        at += idSize;
        if (iloc.version >= 1) {
            item.method = int(ReadBig(b, at, 2) & 15);
            at += 2;
        }
        item.reference = ReadBig(b, at, 2);
        at += 2;
        item.base = ReadBig(b, at, iloc.baseSize);
        at += iloc.baseSize;
        const std::uint64_t extents = ReadBig(b, at, 2);
        at += 2;
        for (std::uint64_t e = 0; e < extents; ++e) {
            Location::Extent extent;
            if (!need(iloc.indexSize + iloc.offsetSize + iloc.lengthSize)) return std::nullopt;
            extent.index = ReadBig(b, at, iloc.indexSize);
            at += iloc.indexSize;
            extent.offset = ReadBig(b, at, iloc.offsetSize);
            at += iloc.offsetSize;
            extent.length = ReadBig(b, at, iloc.lengthSize);
            at += iloc.lengthSize;
            item.extents.append(extent);
        }
        iloc.items.append(item);
    }
    return iloc;
}

QByteArray WriteIloc(const ItemLocations& iloc) {
    QByteArray c;
    AppendBig(&c, std::uint64_t(iloc.version) << 24, 4);
    c.append(char(iloc.offsetSize << 4 | iloc.lengthSize));
    c.append(char(iloc.baseSize << 4 | iloc.indexSize));
    const int idSize = iloc.version == 2 ? 4 : 2;
    AppendBig(&c, std::uint64_t(iloc.items.size()), idSize);
    for (const Location& item : iloc.items) {
        AppendBig(&c, item.id, idSize);
        if (iloc.version >= 1) AppendBig(&c, std::uint64_t(item.method), 2);
        AppendBig(&c, item.reference, 2);
        AppendBig(&c, item.base, iloc.baseSize);
        AppendBig(&c, std::uint64_t(item.extents.size()), 2);
        for (const Location::Extent& extent : item.extents) {
            AppendBig(&c, extent.index, iloc.indexSize);
            AppendBig(&c, extent.offset, iloc.offsetSize);
            AppendBig(&c, extent.length, iloc.lengthSize);
        }
    }
    return MakeBox("iloc", c);
}

struct NewItem {
    std::uint64_t id;
    QByteArray type;         // "Exif" or "mime"
    QByteArray contentType;  // for mime items
    QByteArray payload;
};

// The meta box with the new items, their payloads placed from dataStart
// on, and every location at or past moveFrom moved by shift.
std::optional<QByteArray> RebuiltMeta(const QByteArray& b, const Box& meta,
                                      const QList<Box>& children, const QList<NewItem>& items,
                                      std::uint64_t primary, qsizetype moveFrom, qint64 shift,
                                      std::uint64_t dataStart) {
    QByteArray contents = b.mid(meta.body, 4);  // version and flags
    bool haveIref = false;
    for (const Box& child : children) {
        if (child.type == "iref") haveIref = true;
    }
    QByteArray references;
    for (const NewItem& item : items) {
        QByteArray cdsc;
        AppendBig(&cdsc, item.id, 2);
        AppendBig(&cdsc, 1, 2);
        AppendBig(&cdsc, primary, 2);
        references.append(MakeBox("cdsc", cdsc));
    }
    for (const Box& child : children) {
        if (child.type == "iinf") {
            const int version = std::uint8_t(b[child.body]);
            const int countSize = version == 0 ? 2 : 4;
            if (child.end - child.body < 4 + countSize) return std::nullopt;
            QByteArray c = b.mid(child.body, 4);
            AppendBig(&c, ReadBig(b, child.body + 4, countSize) + std::uint64_t(items.size()),
                      countSize);
            c.append(b.mid(child.body + 4 + countSize, child.end - child.body - 4 - countSize));
            for (const NewItem& item : items) {
                QByteArray infe;
                AppendBig(&infe, std::uint64_t(2) << 24, 4);  // version 2
                AppendBig(&infe, item.id, 2);
                AppendBig(&infe, 0, 2);  // not protected
                infe.append(item.type);
                infe.append('\0');  // no name
                if (!item.contentType.isEmpty()) {
                    infe.append(item.contentType);
                    infe.append('\0');
                }
                c.append(MakeBox("infe", infe));
            }
            contents.append(MakeBox("iinf", c));
            if (!haveIref) {
                QByteArray iref;
                AppendBig(&iref, 0, 4);
                iref.append(references);
                contents.append(MakeBox("iref", iref));
            }
        } else if (child.type == "iloc") {
            std::optional<ItemLocations> iloc = ParseIloc(b, child);
            if (!iloc || (iloc->offsetSize != 4 && iloc->offsetSize != 8) ||
                (iloc->lengthSize != 4 && iloc->lengthSize != 8))
                return std::nullopt;
            for (Location& item : iloc->items) {
                if (item.method != 0 || item.reference != 0) continue;
                if (iloc->baseSize > 0 && item.base >= std::uint64_t(moveFrom)) {
                    item.base += std::uint64_t(shift);
                    continue;
                }
                for (Location::Extent& extent : item.extents)
                    if (item.base + extent.offset >= std::uint64_t(moveFrom))
                        extent.offset += std::uint64_t(shift);
            }
            std::uint64_t at = dataStart;
            for (const NewItem& item : items) {
                Location location;
                location.id = item.id;
                location.extents.append({0, at, std::uint64_t(item.payload.size())});
                at += std::uint64_t(item.payload.size());
                iloc->items.append(location);
            }
            if (iloc->offsetSize == 4 && at > 0xFFFFFFFFu) return std::nullopt;
            contents.append(WriteIloc(*iloc));
        } else if (child.type == "iref") {
            if (std::uint8_t(b[child.body]) != 0) return std::nullopt;  // 16-bit ids only
            contents.append(
                MakeBox("iref", b.mid(child.body, child.end - child.body) + references));
        } else {
            contents.append(b.mid(child.start, child.end - child.start));
        }
    }
    return MakeBox("meta", contents);
}

}  // namespace

QByteArray AvifWithProperties(const QByteArray& avif, const QByteArray& exif,
                              const QByteArray& xmp) {
    if (exif.isEmpty() && xmp.isEmpty()) return avif;
    const std::optional<QList<Box>> top = Boxes(avif, 0, avif.size());
    if (!top) return {};
    const Box* meta = nullptr;
    for (const Box& box : *top)
        if (box.type == "meta") meta = &box;
    if (!meta || meta->end - meta->body < 4) return {};
    const std::optional<QList<Box>> children = Boxes(avif, meta->body + 4, meta->end);
    if (!children) return {};
    std::uint64_t primary = 0, largestId = 0;
    bool haveIinf = false, haveIloc = false;
    for (const Box& child : *children) {
        if (child.type == "pitm" && child.end - child.body >= 6)
            primary = ReadBig(avif, child.body + 4, std::uint8_t(avif[child.body]) == 0 ? 2 : 4);
        if (child.type == "iinf") haveIinf = true;
        if (child.type == "iloc") {
            haveIloc = true;
            if (const std::optional<ItemLocations> iloc = ParseIloc(avif, child))
                for (const Location& item : iloc->items) largestId = std::max(largestId, item.id);
        }
    }
    if (primary == 0 || !haveIinf || !haveIloc || largestId + 2 > 0xFFFF) return {};

    QList<NewItem> items;
    if (!exif.isEmpty()) {
        QByteArray payload(4, '\0');  // the TIFF header right after the offset
        payload.append(exif);
        items.append({largestId + 1, "Exif", {}, payload});
    }
    if (!xmp.isEmpty())
        items.append(
            {largestId + 1 + std::uint64_t(items.size()), "mime", "application/rdf+xml", xmp});

    // A first pass with the meta box's size as it will be, then the real one.
    const std::optional<QByteArray> sized =
        RebuiltMeta(avif, *meta, *children, items, primary, meta->end, 0, 0);
    if (!sized) return {};
    const qint64 shift = sized->size() - (meta->end - meta->start);
    const std::uint64_t dataStart = std::uint64_t(avif.size() + shift + 8);
    const std::optional<QByteArray> rebuilt =
        RebuiltMeta(avif, *meta, *children, items, primary, meta->end, shift, dataStart);
    if (!rebuilt || rebuilt->size() != sized->size()) return {};

    QByteArray out = avif.left(meta->start);
    out.append(*rebuilt);
    out.append(avif.mid(meta->end));
    QByteArray data;
    for (const NewItem& item : items) data.append(item.payload);
    out.append(MakeBox("mdat", data));
    return out;
}

}  // namespace lumetra
