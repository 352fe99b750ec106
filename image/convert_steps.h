// The steps of the 16-bit to 8-bit conversion, in the order the pipeline runs them
// (image/convert16to8.cpp). Each step is a whole-image integer pass that can be run and
// checked on its own. Intermediate values are kept as unsigned 16-bit numbers: where a
// step's integer result does not fit, its low 16 bits are kept (images must convert to
// the same bytes everywhere); nothing is saturated unless a step says so.
//
// Histogram counts are 32 bits wide. Up to 65535 pixels (every sensor of 255 x 255 or
// less) that gives the same counts as the 16-bit counters of other converters; beyond
// that it keeps the stretch and the equalisation meaningful instead of letting the
// counts wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fpm::image::convert {

// Smallest image the steps accept: the row flattening averages five rows and the spans
// look for three values in a row.
inline constexpr int kMinWidth = 3;
inline constexpr int kMinHeight = 5;

// The working image: `height` rows of `width` unsigned 16-bit values.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> v;

    Plane() = default;
    Plane(int w, int h) { reshape(w, h); }
    // Keeps the storage when it is large enough (values are left as they were).
    void reshape(int w, int h)
    {
        width = w;
        height = h;
        v.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    }
    std::uint16_t *row(int y) { return v.data() + static_cast<std::size_t>(y) * width; }
    const std::uint16_t *row(int y) const { return v.data() + static_cast<std::size_t>(y) * width; }
    std::uint16_t at(int x, int y) const { return row(y)[x]; }
};

// One byte per pixel, 1 for the finger area (foreground), 0 for the background.
using Mask = std::vector<std::uint8_t>;

// A run of rows (of a column) or of columns (of a row) that belongs to the finger.
// The run is used only when first < last; both ends are included.
struct Span {
    int first = 0;
    int last = 0;
    bool covers() const { return first < last; }
};

// 1. The input's samples, two bytes each, low byte first.
void loadSamples(const std::uint8_t *input, Plane &out);

// 2. 30% of the largest mean of the whole 16 x 16 blocks (0 without a whole block).
std::uint16_t blockThreshold(const Plane &image);

// Which pixels are above the threshold, one byte (0 or 1) each: steps 3 and 4 both read it.
struct AboveMap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;
    const std::uint8_t *row(int y) const { return bytes.data() + static_cast<std::size_t>(y) * width; }
};
void markAbove(const Plane &image, std::uint16_t threshold, AboveMap &above);

// 3. Per column: from the first to the last run of three rows above the threshold.
std::vector<Span> columnSpans(const AboveMap &above);
// 4. Per row: the same over the columns.
std::vector<Span> rowSpans(const AboveMap &above);
// A pixel is foreground when its column's span or its row's span covers it.
void foregroundMask(const std::vector<Span> &columns, const std::vector<Span> &rows, Mask &mask);

// 5 to 8 run as one rolling pass (filterImage): each row is flattened, smoothed and
// sharpened as soon as the rows it needs are ready, in a few row buffers instead of
// whole-image passes. The row functions below are its parts. Rows handed to the smoothing
// and the sharpening are padded: element -1 and element `width` hold copies of the
// row's first and last value (the replicated edges).

// 5. Evens out the row-to-row offset of the sensor: each row's correction is the mean of
//    five neighbouring row means minus its own row's mean.
std::vector<std::int32_t> rowCorrections(const Plane &image);
//    Foreground pixels get their row's correction (0 where the result is negative, the
//    low 16 bits where it is too large); background pixels keep their value.
void flattenRow(const std::uint16_t *in, const std::uint8_t *mask, int width, std::int32_t correction,
                std::uint16_t *out);

// Working rows of the two filters (kept by the caller: no per-thread state, which a DLL
// unloaded before its callers' threads end could not free safely).
struct RowScratch {
    std::vector<std::uint16_t> byteSums;
    std::vector<std::uint32_t> columnSums;
};

// 6. 3 x 3 mean (integer division by 9, truncated) of three padded rows.
void smoothRow(const std::uint16_t *above, const std::uint16_t *centre, const std::uint16_t *below, int width,
               std::uint16_t *out, RowScratch &scratch);

// 9 to 12. From here on every step maps a pixel's value through a function of that value
// alone (given the foreground's histogram). The three functions are composed into one
// table over the values present in the foreground and applied to the image once; the
// histograms they need come from one count of the foreground's values, taken by the
// rolling pass as it writes them.

// Values from 16383 up share the last entry: the stretch sends all of them to 255.
inline constexpr int kTableSize = 16384;
inline std::size_t tableIndex(std::uint16_t value) { return value < kTableSize - 1 ? value : kTableSize - 1; }

// How many foreground pixels hold each value, indexed by tableIndex: a table with one
// entry more than the largest index present.
using ValueCounts = std::vector<std::uint32_t>;
using CountsView = std::span<const std::uint32_t>;
// The same in 16-bit counters, which an image of at most 65535 pixels cannot wrap.
using NarrowCountsView = std::span<const std::uint16_t>;

// 7, 8. Centre against its eight neighbours (9c - S, 0 where not positive, low 16 bits)
//    for foreground pixels; background pixels become 0. Written as table indexes (once,
//    so that the passes after it index their tables directly); returns the row's largest.
std::uint16_t sharpenRow(const std::uint16_t *above, const std::uint16_t *centre, const std::uint16_t *below,
                         const std::uint8_t *mask, int width, std::uint16_t *out, RowScratch &scratch);

// Adds the foreground pixels of one row of table indexes to `counts` (kTableSize entries of
// std::uint16_t or std::uint32_t).
template <typename Count>
void countRow(const std::uint16_t *indexes, const std::uint8_t *mask, int width, Count *counts);

// What the rolling pass found.
struct Filtered {
    std::size_t entries = 1;  // tableIndex of the largest foreground value, plus 1
    // The count is in the buffers' 16-bit counters (an image of at most 65535 pixels)
    // rather than in `counts`; whoever reads it sets those entries back to 0.
    bool narrow = false;
};

// Row buffers and corrections of the rolling pass, kept between calls.
struct FilterBuffers {
    std::vector<std::uint16_t> flat[3];
    std::vector<std::uint16_t> smooth[3];
    std::vector<std::int32_t> corrections;
    std::vector<std::uint16_t> narrowCounts;  // all 0 between calls
    std::vector<Span> foreground;             // each row's first and last foreground column
    RowScratch scratch;
};

// 5 to 8, and the count of the foreground's values: `out` (same size as `in`) receives
// the sharpened image with its background cleared, as table indexes, and `counts`
// (kTableSize entries, all 0 on entry) or the buffers' 16-bit counters (see Filtered)
// the count of its foreground indexes.
Filtered filterImage(const Plane &in, const Mask &mask, Plane &out, std::uint32_t *counts, FilterBuffers &buffers);

// 9. Contrast stretch between the 2% tails of the 4096-bin histogram of the foreground
//    values above 0 (bin = value / 4, the last bin also takes everything above it).
struct StretchRange {
    std::uint16_t low = 0;
    std::uint16_t high = 0;  // high <= low: everything becomes 0
};
StretchRange stretchRange(CountsView counts);
StretchRange stretchRange(NarrowCountsView counts);

// The 8-bit value each pixel value becomes, for the first `entries` values (index with
// tableIndex).
using ValueTable = std::vector<std::uint8_t>;
void stretchTable(StretchRange range, std::size_t entries, ValueTable &table);

// 10. Ridges dark, background white.
void invertTable(ValueTable &table);

// 11. Equalises the histogram of the foreground's values as the table leaves them
//     (`counts` has as many entries as the table). Without foreground the table stays as
//     it is.
void equaliseTable(ValueTable &table, CountsView counts);
void equaliseTable(ValueTable &table, NarrowCountsView counts);

// 12. The output bytes: the table's value for foreground pixels, 255 for the background
//     (the stretch keeps its 0, the inversion makes it 255, the equalisation leaves it).
//     `image` holds table indexes, and every foreground one must have an entry in the table.
void applyTable(const Plane &indexes, const Mask &mask, const ValueTable &table, std::uint8_t *out);

}  // namespace fpm::image::convert
