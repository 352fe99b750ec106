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

// 3. Per column: from the first to the last run of three rows above the threshold.
std::vector<Span> columnSpans(const Plane &image, std::uint16_t threshold);
// 4. Per row: the same over the columns.
std::vector<Span> rowSpans(const Plane &image, std::uint16_t threshold);
// A pixel is foreground when its column's span or its row's span covers it.
void foregroundMask(const std::vector<Span> &columns, const std::vector<Span> &rows, Mask &mask);

// 5. Evens out the row-to-row offset of the sensor: foreground pixels get the difference
//    between the mean of five neighbouring row means and their own row's mean.
void flattenRows(const Plane &in, const Mask &mask, Plane &out);

// 6. 3 x 3 mean, edges replicated.
void smooth(const Plane &in, Plane &out);
// sum / 9, truncated, for any sum of nine 16-bit values. The float nearest 1/9 lies just
// above it, so the product never falls below the quotient and, for sums this small,
// never reaches the next one; it runs four to a vector where an integer division does not.
inline std::uint16_t ninth(std::int32_t sum)
{
    return static_cast<std::uint16_t>(static_cast<std::int32_t>(static_cast<float>(sum) * (1.0f / 9.0f)));
}

// 7. Centre against its eight neighbours (9c - S, 0 where not positive), edges replicated.
void sharpen(const Plane &in, Plane &out);

// 8. Background pixels become 0.
void clearBackground(Plane &image, const Mask &mask);

// 9 to 12. From here on every step maps a pixel's value through a function of that value
// alone (given the foreground's histogram). The three functions are composed into one
// table over the values a pixel can hold and applied to the image once; the histograms
// they need come from one count of the foreground's values.

// Values from 16383 up share the last entry: the stretch sends all of them to 255.
inline constexpr int kTableSize = 16384;
inline std::size_t tableIndex(std::uint16_t value) { return value < kTableSize - 1 ? value : kTableSize - 1; }

// How many foreground pixels hold each value (kTableSize entries).
using ValueCounts = std::vector<std::uint32_t>;
void countForegroundValues(const Plane &image, const Mask &mask, ValueCounts &counts);

// 9. Contrast stretch between the 2% tails of the 4096-bin histogram of the foreground
//    values above 0 (bin = value / 4, the last bin also takes everything above it).
struct StretchRange {
    std::uint16_t low = 0;
    std::uint16_t high = 0;  // high <= low: everything becomes 0
};
StretchRange stretchRange(const ValueCounts &counts);

// The 8-bit value each pixel value becomes (kTableSize entries, see tableIndex).
using ValueTable = std::vector<std::uint8_t>;
void stretchTable(StretchRange range, ValueTable &table);

// 10. Ridges dark, background white.
void invertTable(ValueTable &table);

// 11. Equalises the histogram of the foreground's values as the table leaves them.
//     Without foreground the table stays as it is.
void equaliseTable(ValueTable &table, const ValueCounts &counts);

// 12. The output bytes: the table's value for foreground pixels, 255 for the background
//     (the stretch keeps its 0, the inversion makes it 255, the equalisation leaves it).
void applyTable(const Plane &image, const Mask &mask, const ValueTable &table, std::uint8_t *out);

}  // namespace fpm::image::convert
