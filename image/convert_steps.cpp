#include "image/convert_steps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace fpm::image::convert {

// On x86-64 Linux the pixel loops are built twice, for the baseline processor and for
// AVX2, and the loader picks one for the processor at hand: twice the lanes per
// instruction where it has them. Both give the same bytes (integer arithmetic only).
// Not where the pick itself is instrumented (GCC's sanitizers, ThreadSanitizer): the
// loader runs it before the sanitizer's runtime is up, and it crashes there.
#if !defined(__clang__) && (defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__))
#define FPM_INSTRUMENTED_PICK 1
#endif
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FPM_INSTRUMENTED_PICK 1
#endif
#endif
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(FPM_INSTRUMENTED_PICK)
#define FPM_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define FPM_PIXEL_LOOP
#endif

// ---- 1. Working image ----------------------------------------------------------------

void loadSamples(const std::uint8_t *input, Plane &out)
{
    const std::size_t count = out.v.size();
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.v.data(), input, count * 2);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            out.v[i] = static_cast<std::uint16_t>(input[2 * i] | (input[2 * i + 1] << 8));
    }
}

// ---- 2. Threshold --------------------------------------------------------------------

FPM_PIXEL_LOOP std::uint16_t blockThreshold(const Plane &image)
{
    const int blocksAcross = image.width / 16;
    const int blocksDown = image.height / 16;
    const int spanWidth = blocksAcross * 16;
    std::uint32_t largestMean = 0;
    std::vector<std::uint32_t> columnSums(static_cast<std::size_t>(spanWidth));
    for (int by = 0; by < blocksDown; ++by) {
        // Column sums of the block row first: contiguous, and 16 adds per block after.
        std::fill(columnSums.begin(), columnSums.end(), 0u);
        for (int y = by * 16; y < by * 16 + 16; ++y) {
            const std::uint16_t *r = image.row(y);
            for (int x = 0; x < spanWidth; ++x) columnSums[x] += r[x];
        }
        for (int bx = 0; bx < blocksAcross; ++bx) {
            std::uint32_t sum = 0;
            for (int i = 0; i < 16; ++i) sum += columnSums[bx * 16 + i];
            largestMean = std::max(largestMean, sum / 256);
        }
    }
    // The factor is 0.3 in double precision, truncated. For every mean a 16-bit image can
    // have, 3/10 in integers gives the same value, and it cannot drift with the
    // extended precision of an x87 FPU.
    return static_cast<std::uint16_t>(largestMean * 3 / 10);
}

// ---- 3, 4. Foreground spans and mask ---------------------------------------------------

namespace {

// The first index in [from, count) whose byte is `value`, in an array of 0 and 1 bytes;
// `count` when there is none. Inline and eight bytes at a time: the rows are short, and a
// library call per search cost more than the search.
std::size_t findFlag(const std::uint8_t *flags, std::size_t from, std::size_t count, std::uint8_t value)
{
    if constexpr (std::endian::native == std::endian::little) {
        // Bytes equal to `value` become the non-zero ones; the lowest is the first.
        const std::uint64_t flip = value ? 0 : 0x0101010101010101ull;
        for (; from + 8 <= count; from += 8) {
            std::uint64_t word;
            std::memcpy(&word, flags + from, 8);
            if (const std::uint64_t found = word ^ flip) return from + static_cast<std::size_t>(std::countr_zero(found)) / 8;
        }
    }
    while (from < count && flags[from] != value) ++from;
    return from;
}

// Index of the first / last non-zero byte of bytes[0, count), or -1.
int firstSet(const std::uint8_t *bytes, int count)
{
    const auto size = static_cast<std::size_t>(std::max(count, 0));
    const std::size_t found = findFlag(bytes, 0, size, 1);
    return found < size ? static_cast<int>(found) : -1;
}

int lastSet(const std::uint8_t *bytes, int count)
{
    int i = count;
    // Eight bytes at a time over the (usually empty) right-hand background.
    while (i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i - 8, 8);
        if (word) break;
        i -= 8;
    }
    while (i > 0 && !bytes[i - 1]) --i;
    return i - 1;
}

}  // namespace

FPM_PIXEL_LOOP void markAbove(const Plane &image, std::uint16_t threshold, AboveMap &above)
{
    above.width = image.width;
    above.height = image.height;
    above.bytes.resize(image.v.size());
    const std::uint16_t *v = image.v.data();
    std::uint8_t *a = above.bytes.data();
    // The count read once: a byte store could alias the vector's own size.
    const std::size_t count = image.v.size();
    for (std::size_t i = 0; i < count; ++i) a[i] = v[i] > threshold;
}

namespace {

// Up to eight bytes of a row as one word (missing bytes 0), and back.
std::uint64_t loadWord(const std::uint8_t *bytes, int count)
{
    std::uint64_t word = 0;
    if (count == 8) std::memcpy(&word, bytes, 8);  // one load: every group but the last
    else std::memcpy(&word, bytes, static_cast<std::size_t>(count));
    return word;
}

std::array<std::uint8_t, 8> bytesOf(std::uint64_t word)
{
    std::array<std::uint8_t, 8> bytes;
    std::memcpy(bytes.data(), &word, 8);
    return bytes;
}

}  // namespace

std::vector<Span> columnSpans(const AboveMap &above)
{
    const int width = above.width;
    const int height = above.height;
    // Without a run the scans stop on the last row they tried.
    const int noFirst = height >= 3 ? height - 3 : 0;
    const int noLast = height >= 3 ? 2 : height - 1;
    std::vector<Span> spans(static_cast<std::size_t>(width), Span{noFirst, noLast});
    if (height < 3) return spans;

    // Eight columns at a time, one byte each in a word, each group scanned only until all
    // its columns have their run: the finger's columns stop near its edge, and only the
    // background's go through every row. From the bottom only the columns found from the
    // top are looked for: a column without a run has none from either side.
    for (int x0 = 0; x0 < width; x0 += 8) {
        const int count = std::min(8, width - x0);
        const auto word = [&](int y) { return loadWord(above.row(y) + x0, count); };
        // Visits the rows that end a run of three in scan order; returns the columns found.
        auto scan = [&](int from, int to, int step, std::uint64_t pending, auto record) {
            std::uint64_t found = 0;
            for (int y = from; y != to && pending; y += step) {
                const std::uint64_t hit = word(y) & word(y + step) & word(y + 2 * step) & pending;
                if (!hit) continue;
                const auto hits = bytesOf(hit);
                for (int k = 0; k < count; ++k)
                    if (hits[k]) record(spans[x0 + k], y);
                pending &= ~hit;
                found |= hit;
            }
            return found;
        };
        const std::uint64_t all = loadWord(std::array<std::uint8_t, 8>{1, 1, 1, 1, 1, 1, 1, 1}.data(), count);
        const std::uint64_t found = scan(0, height - 2, 1, all, [](Span &span, int y) { span.first = y; });
        scan(height - 1, 1, -1, found, [](Span &span, int y) { span.last = y; });
    }
    return spans;
}

namespace {

// Bytes 0 and 1 only: in the word read at `from`, byte k is non-zero when bytes
// from + k to from + k + 2 are all 1. Reads ten bytes.
std::uint64_t runsOfThreeAt(const std::uint8_t *bytes)
{
    std::uint64_t a, b, c;
    std::memcpy(&a, bytes, 8);
    std::memcpy(&b, bytes + 1, 8);
    std::memcpy(&c, bytes + 2, 8);
    return a & b & c;
}

// The first / last start of three 1 bytes in a row of `width` bytes, or -1. Each scan
// stops at the finger's edge, eight starts at a time.
int firstRunOfThree(const std::uint8_t *bytes, int width)
{
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 10 <= width; x += 8)
            if (const std::uint64_t runs = runsOfThreeAt(bytes + x)) return x + std::countr_zero(runs) / 8;
    }
    for (; x + 3 <= width; ++x)
        if (bytes[x] & bytes[x + 1] & bytes[x + 2]) return x;
    return -1;
}

int lastRunOfThree(const std::uint8_t *bytes, int width)
{
    int x = width - 3;  // the last start
    if constexpr (std::endian::native == std::endian::little) {
        for (; x >= 7; x -= 8)
            if (const std::uint64_t runs = runsOfThreeAt(bytes + x - 7)) return x - std::countl_zero(runs) / 8;
    }
    for (; x >= 0; --x)
        if (bytes[x] & bytes[x + 1] & bytes[x + 2]) return x;
    return -1;
}

}  // namespace

std::vector<Span> rowSpans(const AboveMap &above)
{
    const int width = above.width;
    const int height = above.height;
    const int noFirst = width >= 3 ? width - 3 : 0;
    const int noLast = width >= 3 ? 2 : width - 1;
    std::vector<Span> spans(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int first = firstRunOfThree(above.row(y), width);
        spans[y] = first < 0 ? Span{noFirst, noLast} : Span{first, lastRunOfThree(above.row(y), width) + 2};
    }
    return spans;
}

FPM_PIXEL_LOOP void foregroundMask(const std::vector<Span> &columns, const std::vector<Span> &rows, Mask &mask)
{
    const int width = static_cast<int>(columns.size());
    const int height = static_cast<int>(rows.size());
    // Unused column spans become empty ranges so that the inner loop is a plain range
    // test, in 16 bits so that it runs on eight columns at a time (no side is above 1024).
    std::vector<std::uint16_t> low(static_cast<std::size_t>(width)), high(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        low[x] = static_cast<std::uint16_t>(columns[x].covers() ? columns[x].first : 1);
        high[x] = static_cast<std::uint16_t>(columns[x].covers() ? columns[x].last : 0);
    }
    mask.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::uint16_t *lows = low.data();
    const std::uint16_t *highs = high.data();
    for (int y = 0; y < height; ++y) {
        std::uint8_t *m = mask.data() + static_cast<std::size_t>(y) * width;
        const auto row = static_cast<std::uint16_t>(y);
        for (int x = 0; x < width; ++x) m[x] = (row >= lows[x]) & (row <= highs[x]);
        if (rows[y].covers())
            std::memset(m + rows[y].first, 1, static_cast<std::size_t>(rows[y].last - rows[y].first + 1));
    }
}

// ---- 5. Row flattening -----------------------------------------------------------------

FPM_PIXEL_LOOP std::vector<std::int32_t> rowCorrections(const Plane &image)
{
    const int width = image.width;
    const int height = image.height;
    std::vector<std::int32_t> rowMean(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint16_t *r = image.row(y);
        std::uint32_t sum = 0;
        for (int x = 0; x < width; ++x) sum += r[x];
        rowMean[y] = static_cast<std::int32_t>(sum / static_cast<std::uint32_t>(width));
    }
    std::vector<std::int32_t> corrections(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        // Five row means centred on y, the window held inside the image at the edges.
        const int start = std::clamp(y - 2, 0, height - 5);
        std::int32_t windowSum = 0;
        for (int i = start; i < start + 5; ++i) windowSum += rowMean[i];
        corrections[y] = windowSum / 5 - rowMean[y];
    }
    return corrections;
}

FPM_PIXEL_LOOP void flattenRow(const std::uint16_t *in, const std::uint8_t *mask, int width, std::int32_t correction,
                               std::uint16_t *out)
{
    if (correction >= 0) {
        // v + c keeps its low 16 bits.
        const auto add = static_cast<std::uint16_t>(correction);
        for (int x = 0; x < width; ++x) out[x] = mask[x] ? static_cast<std::uint16_t>(in[x] + add) : in[x];
    } else {
        // v + c stops at 0.
        const auto sub = static_cast<std::uint16_t>(-correction);
        for (int x = 0; x < width; ++x) {
            const std::uint16_t lowered = in[x] > sub ? static_cast<std::uint16_t>(in[x] - sub) : 0;
            out[x] = mask[x] ? lowered : in[x];
        }
    }
}

// ---- 6, 7, 8. Smoothing, sharpening, background clearing ----------------------------------

namespace {

// Column sums of three padded rows for columns -1 to width, in 32 bits, so that the
// 3 x 3 sum around column x is sums[x - 1] + sums[x] + sums[x + 1] (up to 9 x 65535).
// Each value is widened once instead of three times. (The sharpening's sign test needs
// the whole sum; the smoothing splits it instead.)
const std::uint32_t *columnSums(const std::uint16_t *a, const std::uint16_t *b, const std::uint16_t *c, int width,
                                std::vector<std::uint32_t> &buffer)
{
    buffer.resize(static_cast<std::size_t>(width) + 2);
    std::uint32_t *sums = buffer.data() + 1;
    for (int x = -1; x <= width; ++x) sums[x] = std::uint32_t{a[x]} + b[x] + c[x];
    return sums;
}

}  // namespace

FPM_PIXEL_LOOP void smoothRow(const std::uint16_t *above, const std::uint16_t *centre, const std::uint16_t *below, int width,
                              std::uint16_t *out, RowScratch &scratch)
{
    // In 16-bit lanes, eight to an SSE2 vector instead of four: with S = 256 H + L (H the
    // sum of the nine high bytes, L that of the low ones, both up to 2295),
    // S / 9 = 28 H + (4 H + L) / 9, and x / 9 = x * 7282 >> 16 for every x below 32768.
    std::vector<std::uint16_t> &buffer = scratch.byteSums;
    buffer.resize(2 * (static_cast<std::size_t>(width) + 2));
    std::uint16_t *highs = buffer.data() + 1;
    std::uint16_t *lows = highs + width + 2;
    for (int x = -1; x <= width; ++x) {
        highs[x] = static_cast<std::uint16_t>((above[x] >> 8) + (centre[x] >> 8) + (below[x] >> 8));
        lows[x] = static_cast<std::uint16_t>((above[x] & 0xFF) + (centre[x] & 0xFF) + (below[x] & 0xFF));
    }
    for (int x = 0; x < width; ++x) {
        const auto h = static_cast<std::uint16_t>(highs[x - 1] + highs[x] + highs[x + 1]);
        const auto l = static_cast<std::uint16_t>(lows[x - 1] + lows[x] + lows[x + 1]);
        const auto rest = static_cast<std::uint16_t>(4 * h + l);
        out[x] = static_cast<std::uint16_t>(28 * h + ((std::uint32_t{rest} * 7282) >> 16));
    }
}

FPM_PIXEL_LOOP std::uint16_t sharpenRow(const std::uint16_t *above, const std::uint16_t *centre,
                                        const std::uint16_t *below, const std::uint8_t *mask, int width,
                                        std::uint16_t *out, RowScratch &scratch)
{
    const std::uint32_t *s = columnSums(above, centre, below, width, scratch.columnSums);
    for (int x = 0; x < width; ++x) {
        // 9c minus the eight neighbours is 10c minus the whole 3 x 3 sum.
        const std::int32_t value = 10 * std::int32_t{centre[x]} - static_cast<std::int32_t>(s[x - 1] + s[x] + s[x + 1]);
        const bool kept = (value > 0) & (mask[x] != 0);  // no branch: the loop stays vectorised
        const auto index = std::min(static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(kTableSize - 1));
        out[x] = kept ? index : 0;
    }
    // Apart: the vectoriser takes no reduction in the loop above.
    std::uint16_t largest = 0;
    for (int x = 0; x < width; ++x) largest = std::max(largest, out[x]);
    return largest;
}

namespace {

// A row buffer with one replicated value on each side; row() points at column 0.
std::uint16_t *padded(std::vector<std::uint16_t> &buffer, int width)
{
    buffer.resize(static_cast<std::size_t>(width) + 2);
    return buffer.data() + 1;
}

void padEdges(std::uint16_t *row, int width)
{
    row[-1] = row[0];
    row[width] = row[width - 1];
}

}  // namespace

Filtered filterImage(const Plane &in, const Mask &mask, Plane &out, std::uint32_t *counts, FilterBuffers &buffers)
{
    const int width = in.width;
    const int height = in.height;
    buffers.corrections = rowCorrections(in);
    std::uint16_t *flat[3], *smooth[3];
    for (int i = 0; i < 3; ++i) {
        flat[i] = padded(buffers.flat[i], width);
        smooth[i] = padded(buffers.smooth[i], width);
    }
    auto maskRow = [&](int y) { return mask.data() + static_cast<std::size_t>(y) * width; };
    // Only the foreground keeps a sharpened value, so each row is smoothed and sharpened
    // between its first and last foreground pixel (and what those need around them): the
    // finger covers about half of a capture. first > last: no foreground.
    buffers.foreground.resize(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) buffers.foreground[y] = {firstSet(maskRow(y), width), lastSet(maskRow(y), width)};
    const auto hasForeground = [&](int y) { return buffers.foreground[y].first >= 0; };
    // Row y of each stage lives in buffer y % 3; rows outside the image are the edge rows.
    const auto clampRow = [&](int y) { return std::clamp(y, 0, height - 1); };
    auto flatten = [&](int y) {
        flattenRow(in.row(y), maskRow(y), width, buffers.corrections[y], flat[y % 3]);
        padEdges(flat[y % 3], width);
    };
    auto smoothen = [&](int y) {
        // The columns the sharpening of rows y - 1 to y + 1 reads, one beyond each end.
        int from = width, to = -1;
        for (int r = std::max(y - 1, 0); r <= std::min(y + 1, height - 1); ++r)
            if (hasForeground(r)) {
                from = std::min(from, std::max(buffers.foreground[r].first - 1, 0));
                to = std::max(to, std::min(buffers.foreground[r].last + 1, width - 1));
            }
        if (from <= to)
            smoothRow(flat[clampRow(y - 1) % 3] + from, flat[y % 3] + from, flat[clampRow(y + 1) % 3] + from,
                      to - from + 1, smooth[y % 3] + from, buffers.scratch);
        padEdges(smooth[y % 3], width);
    };

    // A 16-bit count cannot wrap on an image of at most 65535 pixels, and the counts of a
    // fingerprint's values then fit the processor's first-level cache, where 32-bit ones
    // do not.
    const bool narrow = in.v.size() <= 0xFFFF;
    if (narrow && buffers.narrowCounts.size() != kTableSize) buffers.narrowCounts.assign(kTableSize, 0);

    Filtered found;
    std::size_t largest = 0;  // table index
    flatten(0);
    flatten(1);
    smoothen(0);
    for (int y = 0; y < height; ++y) {
        // Sharpening row y needs smoothed row y + 1, which needs flattened row y + 2.
        if (y + 2 < height) flatten(y + 2);
        if (y + 1 < height) smoothen(y + 1);
        std::uint16_t *o = out.row(y);
        std::fill_n(o, width, std::uint16_t{0});
        if (!hasForeground(y)) continue;
        const int from = buffers.foreground[y].first;
        const int length = buffers.foreground[y].last - from + 1;
        const std::uint8_t *m = maskRow(y) + from;
        const std::uint16_t rowLargest = sharpenRow(smooth[clampRow(y - 1) % 3] + from, smooth[y % 3] + from,
                                                    smooth[clampRow(y + 1) % 3] + from, m, length, o + from,
                                                    buffers.scratch);
        largest = std::max<std::size_t>(largest, rowLargest);
        if (narrow) countRow(o + from, m, length, buffers.narrowCounts.data());
        else countRow(o + from, m, length, counts);
    }
    found.entries = largest + 1;
    found.narrow = narrow;
    return found;
}

// ---- 9 to 12. Stretch, inversion, equalisation, output -----------------------------------

namespace {

// Calls visit(start, end) for each run of foreground pixels among `count` mask bytes, in
// order. The finger is one wide run per row as a rule, so the per-pixel work never looks
// at the mask and never branches on it.
template <typename Visit>
void forEachForegroundRun(const std::uint8_t *mask, std::size_t count, Visit visit)
{
    for (std::size_t i = 0; i < count;) {
        const std::size_t start = findFlag(mask, i, count, 1);
        if (start == count) return;
        const std::size_t end = findFlag(mask, start, count, 0);
        visit(start, end);
        i = end;
    }
}

}  // namespace

template <typename Count>
void countRow(const std::uint16_t *indexes, const std::uint8_t *mask, int width, Count *counts)
{
    forEachForegroundRun(mask, static_cast<std::size_t>(width), [&](std::size_t start, std::size_t end) {
        // Each pixel is one increment in memory; nothing else rides in this loop.
#pragma GCC unroll 4
        for (std::size_t x = start; x < end; ++x) ++counts[indexes[x]];
    });
}

template void countRow(const std::uint16_t *, const std::uint8_t *, int, std::uint16_t *);
template void countRow(const std::uint16_t *, const std::uint8_t *, int, std::uint32_t *);

namespace {

template <typename Count>
std::uint32_t sumOf(const Count *counts, std::size_t from, std::size_t to)
{
    std::uint32_t sum = 0;
    for (std::size_t v = from; v < to; ++v) sum += counts[v];
    return sum;
}

template <typename Count>
StretchRange stretchRangeOf(std::span<const Count> counts)
{
    // Bin b holds values 4b to 4b + 3; 0 is not counted. The running count over the bins
    // first exceeds the tail in the bin of the first value at which the running count over
    // the values does, from either end, so the walks go value by value and stop there:
    // the tails are short.
    const std::size_t size = std::min<std::size_t>(counts.size(), kTableSize);
    const Count *c = counts.data();
    const std::uint32_t n = sumOf(c, 1, size);
    if (n == 0) return {};
    const std::uint32_t tail = n * 2 / 100;
    // Eight values at a time while the tail is not reached, then one by one. Each walk
    // ends inside [1, size): the n values counted exceed the tail.
    std::size_t low = 1;
    std::uint32_t running = 0;
    for (std::uint32_t eight; low + 8 <= size && running + (eight = sumOf(c, low, low + 8)) <= tail; low += 8)
        running += eight;
    for (running += c[low]; running <= tail; running += c[++low]) {
    }
    std::size_t high = size;  // one past the walk's next value
    running = 0;
    for (std::uint32_t eight; high >= 9 && running + (eight = sumOf(c, high - 8, high)) <= tail; high -= 8)
        running += eight;
    for (running += c[--high]; running <= tail; running += c[--high]) {
    }
    return {static_cast<std::uint16_t>(low / 4 * 4), static_cast<std::uint16_t>(high / 4 * 4)};
}

}  // namespace

StretchRange stretchRange(CountsView counts) { return stretchRangeOf(counts); }
StretchRange stretchRange(NarrowCountsView counts) { return stretchRangeOf(counts); }

void stretchTable(StretchRange range, std::size_t entries, ValueTable &table)
{
    table.assign(entries, 0);
    const std::uint32_t low = range.low;
    const std::uint32_t high = range.high;
    if (high <= low || low >= entries) return;
    // (v - low) * 255 / (high - low) is a staircase: value q starts at the first v with
    // (v - low) * 255 >= q * (high - low). Fill it step by step instead of dividing
    // per value.
    const std::uint32_t width = high - low;
    const auto size = static_cast<std::uint32_t>(entries);
    for (std::uint32_t q = 0; q < 255; ++q) {
        const std::uint32_t from = low + (q * width + 254) / 255;
        const std::uint32_t to = std::min(low + ((q + 1) * width + 254) / 255, size);  // next step's start
        if (from >= to) continue;
        std::memset(table.data() + from, static_cast<int>(q), to - from);
    }
    // high itself is the top of the last step; everything above it is 255 as well.
    if (high < size) std::memset(table.data() + high, 255, size - high);
}

void invertTable(ValueTable &table)
{
    for (std::uint8_t &value : table) value = static_cast<std::uint8_t>(255 - value);
}

namespace {

template <typename Count>
void equaliseTableWith(ValueTable &table, std::span<const Count> counts)
{
    // The foreground's histogram after the steps so far: each value's pixels land where
    // the table sends them. The table is made of long runs of one value (the stretch is
    // a staircase), so it is walked run by run, eight entries at a time.
    struct Run {
        std::size_t start;
        std::size_t end;
        std::uint8_t value;
    };
    std::vector<Run> runs;
    std::array<std::uint32_t, 256> cumulative{};
    const std::uint8_t *t = table.data();
    const std::size_t size = table.size();
    for (std::size_t start = 0; start < size;) {
        const std::uint8_t value = t[start];
        const std::uint64_t all = 0x0101010101010101ull * value;
        std::size_t end = start + 1;
        for (std::uint64_t word; end + 8 <= size; end += 8) {
            std::memcpy(&word, t + end, 8);
            if (word != all) break;
        }
        while (end < size && t[end] == value) ++end;
        std::uint32_t sum = 0;
        for (std::size_t v = start; v < end; ++v) sum += counts[v];
        cumulative[value] += sum;
        runs.push_back({start, end, value});
        start = end;
    }
    for (int i = 1; i < 256; ++i) cumulative[i] += cumulative[i - 1];
    const std::uint32_t total = cumulative[255];
    if (total == 0) return;
    for (const Run &run : runs)
        std::memset(table.data() + run.start, static_cast<int>(cumulative[run.value] * 255 / total), run.end - run.start);
}

}  // namespace

void equaliseTable(ValueTable &table, CountsView counts) { equaliseTableWith(table, counts); }
void equaliseTable(ValueTable &table, NarrowCountsView counts) { equaliseTableWith(table, counts); }

void applyTable(const Plane &indexes, const Mask &mask, const ValueTable &table, std::uint8_t *out)
{
    const std::uint16_t *v = indexes.v.data();
    const std::uint8_t *t = table.data();
    std::size_t done = 0;
    forEachForegroundRun(mask.data(), mask.size(), [&](std::size_t start, std::size_t end) {
        std::memset(out + done, 255, start - done);
        std::size_t i = start;
        if constexpr (std::endian::native == std::endian::little) {
            // Eight looked-up bytes to one store: the byte stores, not the look-ups, held
            // this loop back.
            for (; i + 8 <= end; i += 8) {
                std::uint64_t word = 0;
                for (int k = 0; k < 8; ++k) word |= std::uint64_t{t[v[i + k]]} << (8 * k);
                std::memcpy(out + i, &word, 8);
            }
        }
        for (; i < end; ++i) out[i] = t[v[i]];
        done = end;
    });
    std::memset(out + done, 255, indexes.v.size() - done);
}

}  // namespace fpm::image::convert
