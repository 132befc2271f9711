// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/GifPalette.h"

#include <libimagequant.h>

#include <algorithm>
#include <limits>

#include "files/Owned.h"
#include "render/Parallel.h"

namespace lumetra {
namespace {

// Histogram cells: 6 bits per channel.
constexpr int kCellBits = 6;
constexpr int kCells = 1 << (3 * kCellBits);
constexpr int kDropBits = 8 - kCellBits;
constexpr int kLowMask = (1 << kDropBits) - 1;

inline int CellOf(int r, int g, int b) {
    return ((r >> kDropBits) << (2 * kCellBits)) | ((g >> kDropBits) << kCellBits) |
           (b >> kDropBits);
}

// A cell counts its pixels and sums the bits its index drops, so that its
// mean colour can be given back exactly; the sums cannot overflow (at most
// 3 per pixel).
struct Cell {
    std::uint32_t count = 0;
    std::uint32_t low[3] = {0, 0, 0};
};

// The picture's exact colours while there are at most 256 of them: a
// picture with so few (a graphic, a logo) keeps them all exactly.
class ExactColours {
  public:
    static constexpr int kMax = 256;
    bool overflowed() const { return overflowed_; }
    int count() const { return count_; }
    void Add(std::uint32_t rgb) {
        const std::uint32_t key = rgb | 0x01000000u;  // 0 marks a free slot
        std::uint32_t slot = (key * 2654435761u) >> (32 - kSlotBits);
        while (slots_[slot] != 0) {
            if (slots_[slot] == key) return;
            slot = (slot + 1) & (kSlots - 1);
        }
        if (count_ == kMax) {
            overflowed_ = true;
            return;
        }
        slots_[slot] = key;
        ++count_;
    }
    void AddAll(const ExactColours& other) {
        if (other.overflowed_) overflowed_ = true;
        for (std::uint32_t key : other.slots_)
            if (key != 0 && !overflowed_) Add(key & 0xFFFFFFu);
    }
    std::vector<std::uint32_t> Sorted() const {
        std::vector<std::uint32_t> colours;
        for (std::uint32_t key : slots_)
            if (key != 0) colours.push_back(key & 0xFFFFFFu);
        std::sort(colours.begin(), colours.end());
        return colours;
    }

  private:
    static constexpr int kSlotBits = 10;
    static constexpr int kSlots = 1 << kSlotBits;
    std::uint32_t slots_[kSlots] = {};
    int count_ = 0;
    bool overflowed_ = false;
};

struct Counts {
    std::vector<Cell> cells;
    std::uint64_t clear = 0;  // pixels with alpha 0
    ExactColours exact;
};

// Counts the picture in one chunk of rows per worker, then adds the chunks.
Counts CountColours(const QImage& rgba) {
    const int width = rgba.width();
    const int height = rgba.height();
    const int chunks = std::max(1, std::min(WorkerThreads(), height));
    std::vector<Counts> partial(std::size_t(chunks), Counts{});
    ParallelBands(chunks, std::int64_t(width) * height, [&](int c0, int c1) {
        for (int c = c0; c < c1; ++c) {
            Counts& counts = partial[std::size_t(c)];
            counts.cells.assign(kCells, Cell{});
            const int y0 = int(std::int64_t(height) * c / chunks);
            const int y1 = int(std::int64_t(height) * (c + 1) / chunks);
            for (int y = y0; y < y1; ++y) {
                const uchar* line = rgba.constScanLine(y);
                for (int x = 0; x < width; ++x) {
                    const uchar* px = line + 4 * x;
                    if (px[3] == 0) {
                        ++counts.clear;
                        continue;
                    }
                    Cell& cell = counts.cells[std::size_t(CellOf(px[0], px[1], px[2]))];
                    ++cell.count;
                    for (int k = 0; k < 3; ++k) cell.low[k] += px[k] & kLowMask;
                    if (!counts.exact.overflowed())
                        counts.exact.Add(std::uint32_t(px[0]) | std::uint32_t(px[1]) << 8 |
                                         std::uint32_t(px[2]) << 16);
                }
            }
        }
    });
    Counts total = std::move(partial[0]);
    for (std::size_t c = 1; c < partial.size(); ++c) {
        total.clear += partial[c].clear;
        total.exact.AddAll(partial[c].exact);
        for (int i = 0; i < kCells; ++i) {
            const Cell& from = partial[c].cells[std::size_t(i)];
            Cell& to = total.cells[std::size_t(i)];
            to.count += from.count;
            for (int k = 0; k < 3; ++k) to.low[k] += from.low[k];
        }
    }
    return total;
}

// The mean colour of a cell.
liq_color MeanColour(int index, const Cell& cell) {
    const int base[3] = {(index >> (2 * kCellBits)) & ((1 << kCellBits) - 1),
                         (index >> kCellBits) & ((1 << kCellBits) - 1),
                         index & ((1 << kCellBits) - 1)};
    unsigned char c[3];
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t mean = (2 * cell.low[k] + cell.count) / (2 * cell.count);
        c[k] = static_cast<unsigned char>((base[k] << kDropBits) + int(mean));
    }
    return liq_color{c[0], c[1], c[2], 255};
}

}  // namespace

bool ChooseGifPalette(const QImage& rgba, GifPalette* palette, QString* error) {
    const auto fail = [error](const char* text) {
        if (error) *error = QString::fromUtf8(text);
        return false;
    };
    const Counts counts = CountColours(rgba);
    std::vector<liq_histogram_entry> entries;
    for (int i = 0; i < kCells; ++i) {
        const Cell& cell = counts.cells[std::size_t(i)];
        if (cell.count) entries.push_back(liq_histogram_entry{MeanColour(i, cell), cell.count});
    }
    palette->colours.clear();
    palette->transparent = -1;
    if (entries.empty()) {
        // Nothing but transparency: one clear entry and one to fill the table.
        palette->colours = {{0, 0, 0}, {0, 0, 0}};
        palette->transparent = 0;
        return true;
    }

    if (!counts.exact.overflowed() && counts.exact.count() + (counts.clear ? 1 : 0) <= 256) {
        for (std::uint32_t rgb : counts.exact.Sorted())
            palette->colours.push_back(
                {std::uint8_t(rgb), std::uint8_t(rgb >> 8), std::uint8_t(rgb >> 16)});
        if (counts.clear) {
            palette->transparent = int(palette->colours.size());
            palette->colours.push_back({0, 0, 0});
        }
        return true;
    }

    Owned<liq_attr, liq_attr_destroy> attr(liq_attr_create());
    Owned<liq_histogram, liq_histogram_destroy> histogram(attr ? liq_histogram_create(attr.get())
                                                               : nullptr);
    if (!attr || !histogram) return fail("Not enough memory to choose the colours.");
    liq_set_max_colors(attr.get(), 256);
    if (liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(), int(entries.size()),
                                 0) != LIQ_OK)
        return fail("The colours of the picture could not be counted.");
    // Transparency is one fixed entry, never merged with a colour.
    if (counts.clear &&
        liq_histogram_add_fixed_color(histogram.get(), liq_color{0, 0, 0, 0}, 0) != LIQ_OK)
        return fail("The colours of the picture could not be counted.");
    liq_result* raw = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return fail("No palette could be made for the picture.");
    Owned<liq_result, liq_result_destroy> result(raw);

    const liq_palette* chosen = liq_get_palette(result.get());
    for (unsigned i = 0; i < chosen->count; ++i) {
        const liq_color& c = chosen->entries[i];
        if (c.a == 0 && counts.clear && palette->transparent < 0)
            palette->transparent = int(palette->colours.size());
        palette->colours.push_back({c.r, c.g, c.b});
    }
    if (counts.clear && palette->transparent < 0) {
        if (palette->colours.size() >= 256)
            return fail("No palette could be made for the picture.");
        palette->transparent = int(palette->colours.size());
        palette->colours.push_back({0, 0, 0});
    }
    return true;
}

namespace {

// Finds the nearest opaque palette entry for any colour, through a table
// over the histogram cells built before dithering. The nearest entry is
// worked out for every corner of the cell grid; a cell whose eight corners
// share their nearest entry lies wholly in that entry's region (the regions
// are convex), so it answers at once. Any other cell keeps its few
// candidates (its corners' nearest entries and the palette entries inside
// it) and the colour picks among them. A palette colour therefore always
// maps to itself.
class NearestEntry {
  public:
    explicit NearestEntry(const GifPalette& palette) : palette_(palette) {
        for (int i = 0; i < int(palette.colours.size()); ++i) {
            if (i == palette.transparent) continue;
            opaque_.push_back(i);
            for (int k = 0; k < 3; ++k)
                channels_[k].push_back(palette.colours[std::size_t(i)][std::size_t(k)]);
        }
        if (opaque_.empty()) {  // never asked for: only transparent pixels
            cells_.assign(kCells, 0);
            return;
        }
        BuildCorners();
        BuildCells();
    }

    std::uint8_t Find(const int* value) const {
        const std::uint32_t slot = cells_[std::size_t(CellOf(value[0], value[1], value[2]))];
        if (!(slot & kListFlag)) return std::uint8_t(slot);
        const std::uint8_t* list = &lists_[slot & ~kListFlag];
        int best = list[1];
        int bestDistance = std::numeric_limits<int>::max();
        for (int i = 1; i <= list[0]; ++i) {
            const auto& c = palette_.colours[list[i]];
            const int d = Distance(value[0] - c[0], value[1] - c[1], value[2] - c[2]);
            if (d < bestDistance) {
                bestDistance = d;
                best = list[i];
            }
        }
        return std::uint8_t(best);
    }

  private:
    static constexpr std::uint32_t kListFlag = 0x80000000u;
    static constexpr int kSide = (1 << kCellBits) + 1;  // corners per axis
    static constexpr int kStep = 1 << kDropBits;

    // The eye weighs green most, blue least.
    static int Distance(int dr, int dg, int db) { return 2 * dr * dr + 4 * dg * dg + 3 * db * db; }

    // Nearest opaque entry of a colour, by trying them all: the distance
    // and the entry packed in one number, so the loop is a plain minimum.
    int Brute(int r, int g, int b) const {
        const int n = int(opaque_.size());
        const int* pr = channels_[0].data();
        const int* pg = channels_[1].data();
        const int* pb = channels_[2].data();
        int best = std::numeric_limits<int>::max();
        for (int i = 0; i < n; ++i)
            best = std::min(best, Distance(r - pr[i], g - pg[i], b - pb[i]) * 256 + i);
        return opaque_[std::size_t(best & 255)];
    }

    void BuildCorners() {
        corners_.resize(std::size_t(kSide) * kSide * kSide);
        ParallelBands(kSide, std::int64_t(kSide) * kSide * std::int64_t(opaque_.size()),
                      [&](int r0, int r1) {
                          for (int r = r0; r < r1; ++r)
                              for (int g = 0; g < kSide; ++g)
                                  for (int b = 0; b < kSide; ++b)
                                      corners_[(std::size_t(r) * kSide + g) * kSide + b] =
                                          std::uint8_t(Brute(r * kStep, g * kStep, b * kStep));
                      });
    }

    void BuildCells() {
        // Palette entries by the cell they lie in.
        std::vector<std::pair<int, int>> inside;
        for (int i : opaque_) {
            const auto& c = palette_.colours[std::size_t(i)];
            inside.push_back({CellOf(c[0], c[1], c[2]), i});
        }
        std::sort(inside.begin(), inside.end());
        cells_.resize(kCells);
        constexpr int n = 1 << kCellBits;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) {
                    std::uint8_t found[16];
                    int count = 0;
                    const auto add = [&](int entry) {
                        for (int i = 0; i < count; ++i)
                            if (found[i] == entry) return;
                        if (count < 16) found[count++] = std::uint8_t(entry);
                    };
                    for (int corner = 0; corner < 8; ++corner)
                        add(corners_[(std::size_t(r + (corner & 1)) * kSide + g +
                                      ((corner >> 1) & 1)) *
                                         kSide +
                                     b + (corner >> 2)]);
                    const int cell = (r << (2 * kCellBits)) | (g << kCellBits) | b;
                    auto it = std::lower_bound(inside.begin(), inside.end(),
                                               std::pair<int, int>(cell, -1));
                    for (; it != inside.end() && it->first == cell; ++it) add(it->second);
                    if (count == 1) {
                        cells_[std::size_t(cell)] = found[0];
                    } else {
                        cells_[std::size_t(cell)] = kListFlag | std::uint32_t(lists_.size());
                        lists_.push_back(std::uint8_t(count));
                        lists_.insert(lists_.end(), found, found + count);
                    }
                }
    }

    const GifPalette& palette_;
    std::vector<int> opaque_;
    std::vector<int> channels_[3];       // the opaque entries' red, green, blue
    std::vector<std::uint8_t> corners_;  // nearest entry of each grid corner
    std::vector<std::uint32_t> cells_;   // an entry, or kListFlag + offset in lists_
    std::vector<std::uint8_t> lists_;    // candidate runs: count, then entries
};

}  // namespace

void DitherOntoPalette(const QImage& rgba, const GifPalette& palette, std::uint8_t* indexes) {
    const int width = rgba.width();
    const int height = rgba.height();
    const NearestEntry nearest(palette);
    const std::uint8_t clearIndex = std::uint8_t(std::max(palette.transparent, 0));

    ParallelBands(height, std::int64_t(width) * 16, [&](int y0, int y1) {
        // Errors of this row and the next, in sixteenths, one pixel of
        // margin on each side.
        std::vector<int> thisRow(std::size_t(width + 2) * 3, 0), nextRow(thisRow.size(), 0);
        for (int y = y0; y < y1; ++y) {
            std::swap(thisRow, nextRow);
            std::fill(nextRow.begin(), nextRow.end(), 0);
            const bool forward = ((y - y0) & 1) == 0;
            const int step = forward ? 1 : -1;
            const uchar* line = rgba.constScanLine(y);
            std::uint8_t* out = indexes + std::size_t(y) * std::size_t(width);
            for (int i = 0; i < width; ++i) {
                const int x = forward ? i : width - 1 - i;
                const uchar* px = line + 4 * x;
                if (px[3] == 0) {
                    out[x] = clearIndex;
                    continue;
                }
                const int* here = &thisRow[std::size_t(x + 1) * 3];
                int value[3];
                for (int k = 0; k < 3; ++k)
                    value[k] = std::clamp(px[k] + ((here[k] + 8) >> 4), 0, 255);
                const std::uint8_t entry = nearest.Find(value);
                out[x] = entry;
                const auto& chosen = palette.colours[entry];
                int* ahead = &thisRow[std::size_t(x + 1 + step) * 3];
                int* below = &nextRow[std::size_t(x + 1) * 3];
                for (int k = 0; k < 3; ++k) {
                    const int e = value[k] - chosen[std::size_t(k)];
                    ahead[k] += 7 * e;
                    below[k - 3 * step] += 3 * e;
                    below[k] += 5 * e;
                    below[k + 3 * step] += e;
                }
            }
        }
    });
}

}  // namespace lumetra
