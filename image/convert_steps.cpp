#include "image/convert_steps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace fpm::image::convert {

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

std::uint16_t blockThreshold(const Plane &image)
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

std::vector<Span> columnSpans(const Plane &image, std::uint16_t threshold)
{
    const int width = image.width;
    const int height = image.height;
    // One pass down the image, row by row (cache-friendly): run[x] counts the rows above
    // the threshold that end at the current row, up to 3. The first run of three from
    // the top starts at `first`; the first from the bottom ends at `last`.
    std::vector<std::uint8_t> run(static_cast<std::size_t>(width), 0);
    std::vector<std::int32_t> first(static_cast<std::size_t>(width), -1);
    std::vector<std::int32_t> last(static_cast<std::size_t>(width), -1);
    for (int y = 0; y < height; ++y) {
        const std::uint16_t *r = image.row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t n = r[x] > threshold ? static_cast<std::uint8_t>(std::min(run[x] + 1, 3)) : 0;
            run[x] = n;
            const bool three = n == 3;
            first[x] = three && first[x] < 0 ? y - 2 : first[x];
            last[x] = three ? y : last[x];
        }
    }
    // Without a run the scans stop on the last row they tried.
    const int noFirst = height >= 3 ? height - 3 : 0;
    const int noLast = height >= 3 ? 2 : height - 1;
    std::vector<Span> spans(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        spans[x] = {first[x] < 0 ? noFirst : first[x], last[x] < 0 ? noLast : last[x]};
    return spans;
}

std::vector<Span> rowSpans(const Plane &image, std::uint16_t threshold)
{
    const int width = image.width;
    const int height = image.height;
    const int noFirst = width >= 3 ? width - 3 : 0;
    const int noLast = width >= 3 ? 2 : width - 1;
    std::vector<Span> spans(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint16_t *r = image.row(y);
        Span span{noFirst, noLast};
        int run = 0;
        for (int x = 0; x < width; ++x) {
            run = r[x] > threshold ? run + 1 : 0;
            if (run == 3) {
                span.first = x - 2;
                break;
            }
        }
        run = 0;
        for (int x = width - 1; x >= 0; --x) {
            run = r[x] > threshold ? run + 1 : 0;
            if (run == 3) {
                span.last = x + 2;
                break;
            }
        }
        spans[y] = span;
    }
    return spans;
}

Mask foregroundMask(int width, int height, const std::vector<Span> &columns, const std::vector<Span> &rows)
{
    // Unused spans become empty ranges so that the inner loop is two plain range tests.
    std::vector<std::int32_t> low(static_cast<std::size_t>(width)), high(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        low[x] = columns[x].covers() ? columns[x].first : 1;
        high[x] = columns[x].covers() ? columns[x].last : 0;
    }
    Mask mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::int32_t left = rows[y].covers() ? rows[y].first : 1;
        const std::int32_t right = rows[y].covers() ? rows[y].last : 0;
        std::uint8_t *m = mask.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const bool inColumn = (y >= low[x]) & (y <= high[x]);
            const bool inRow = (x >= left) & (x <= right);
            m[x] = static_cast<std::uint8_t>(inColumn | inRow);
        }
    }
    return mask;
}

// ---- 5. Row flattening -----------------------------------------------------------------

void flattenRows(const Plane &in, const Mask &mask, Plane &out)
{
    const int width = in.width;
    const int height = in.height;
    std::vector<std::int32_t> rowMean(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint16_t *r = in.row(y);
        std::uint32_t sum = 0;
        for (int x = 0; x < width; ++x) sum += r[x];
        rowMean[y] = static_cast<std::int32_t>(sum / static_cast<std::uint32_t>(width));
    }
    for (int y = 0; y < height; ++y) {
        // Five row means centred on y, the window held inside the image at the edges.
        const int start = std::clamp(y - 2, 0, height - 5);
        std::int32_t windowSum = 0;
        for (int i = start; i < start + 5; ++i) windowSum += rowMean[i];
        const std::int32_t correction = windowSum / 5 - rowMean[y];
        const std::uint16_t *r = in.row(y);
        const std::uint8_t *m = mask.data() + static_cast<std::size_t>(y) * width;
        std::uint16_t *o = out.row(y);
        for (int x = 0; x < width; ++x) {
            const std::int32_t moved = r[x] + correction;
            const std::uint16_t flattened = moved < 0 ? 0 : static_cast<std::uint16_t>(moved);
            o[x] = m[x] ? flattened : r[x];
        }
    }
}

// ---- 6, 7. Smoothing and sharpening ----------------------------------------------------

namespace {

// Column sums of three rows (y - 1, y, y + 1, edges replicated), with one replicated
// column on each side so that the 3 x 3 sum of column x is sums[x] + sums[x+1] + sums[x+2].
void verticalSums(const Plane &in, int y, std::vector<std::uint32_t> &sums)
{
    const int width = in.width;
    const std::uint16_t *above = in.row(std::max(y - 1, 0));
    const std::uint16_t *centre = in.row(y);
    const std::uint16_t *below = in.row(std::min(y + 1, in.height - 1));
    std::uint32_t *s = sums.data() + 1;
    for (int x = 0; x < width; ++x) s[x] = std::uint32_t{above[x]} + centre[x] + below[x];
    sums[0] = sums[1];
    sums[width + 1] = sums[width];
}

}  // namespace

void smooth(const Plane &in, Plane &out)
{
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(in.width) + 2);
    for (int y = 0; y < in.height; ++y) {
        verticalSums(in, y, sums);
        std::uint16_t *o = out.row(y);
        const std::uint32_t *s = sums.data();
        for (int x = 0; x < in.width; ++x) o[x] = static_cast<std::uint16_t>((s[x] + s[x + 1] + s[x + 2]) / 9);
    }
}

void sharpen(const Plane &in, Plane &out)
{
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(in.width) + 2);
    for (int y = 0; y < in.height; ++y) {
        verticalSums(in, y, sums);
        const std::uint16_t *c = in.row(y);
        std::uint16_t *o = out.row(y);
        const std::uint32_t *s = sums.data();
        for (int x = 0; x < in.width; ++x) {
            // 9c minus the eight neighbours is 10c minus the whole 3 x 3 sum.
            const std::int32_t value =
                10 * static_cast<std::int32_t>(c[x]) - static_cast<std::int32_t>(s[x] + s[x + 1] + s[x + 2]);
            o[x] = value > 0 ? static_cast<std::uint16_t>(value) : 0;
        }
    }
}

// ---- 8. Background clearing --------------------------------------------------------------

void clearBackground(Plane &image, const Mask &mask)
{
    const std::size_t count = image.v.size();
    std::uint16_t *v = image.v.data();
    const std::uint8_t *m = mask.data();
    for (std::size_t i = 0; i < count; ++i) v[i] = m[i] ? v[i] : 0;
}

// ---- 9. Contrast stretch -------------------------------------------------------------------

StretchRange stretchRange(const Plane &image, const Mask &mask)
{
    std::array<std::uint32_t, 4096> histogram{};
    std::uint32_t n = 0;
    const std::size_t count = image.v.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t v = image.v[i];
        if (mask[i] && v > 0) {
            ++histogram[std::min(v >> 2, 4095)];
            ++n;
        }
    }
    if (n == 0) return {};
    const std::uint32_t tail = n * 2 / 100;
    int lowBin = 4096;
    std::uint32_t running = 0;
    for (int bin = 0; bin < 4096; ++bin) {
        running += histogram[bin];
        if (running > tail) {
            lowBin = bin;
            break;
        }
    }
    int highBin = -1;
    running = 0;
    for (int bin = 4095; bin >= 0; --bin) {
        running += histogram[bin];
        if (running > tail) {
            highBin = bin;
            break;
        }
    }
    return {static_cast<std::uint16_t>(lowBin * 4), static_cast<std::uint16_t>(highBin * 4)};
}

namespace {

// floor(n / d) for n < 2^22 by one multiplication: m = ceil(2^(22+l) / d) with
// 2^l >= d makes the quotient exact over that whole range.
struct ExactDivision {
    std::uint64_t multiplier;
    int shift;

    explicit ExactDivision(std::uint32_t d)
    {
        const int l = std::bit_width(d - 1);
        shift = 22 + l;
        multiplier = ((std::uint64_t{1} << shift) + d - 1) / d;
    }
    std::uint32_t operator()(std::uint32_t n) const { return static_cast<std::uint32_t>((n * multiplier) >> shift); }
};

}  // namespace

void stretchToBytes(const Plane &image, StretchRange range, std::uint8_t *out)
{
    const std::size_t count = image.v.size();
    if (range.high <= range.low) {
        std::memset(out, 0, count);
        return;
    }
    const std::uint32_t low = range.low;
    const std::uint32_t high = range.high;
    // (v - low) * 255 stays below 2^22: high - low is at most 4095 * 4.
    const ExactDivision byRange(high - low);
    const std::uint16_t *v = image.v.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = v[i];
        out[i] = value > high ? 255 : value < low ? 0 : static_cast<std::uint8_t>(byRange((value - low) * 255));
    }
}

// ---- 10. Inversion -------------------------------------------------------------------------

void invert(std::uint8_t *image, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) image[i] = static_cast<std::uint8_t>(255 - image[i]);
}

// ---- 11. Histogram equalisation ----------------------------------------------------------

void equalise(std::uint8_t *image, const Mask &mask)
{
    std::array<std::uint32_t, 256> cumulative{};
    const std::size_t count = mask.size();
    for (std::size_t i = 0; i < count; ++i)
        if (mask[i]) ++cumulative[image[i]];
    for (int i = 1; i < 256; ++i) cumulative[i] += cumulative[i - 1];
    const std::uint32_t total = cumulative[255];
    std::array<std::uint8_t, 256> mapped{};
    for (int i = 0; i < 256; ++i)
        mapped[i] = total ? static_cast<std::uint8_t>(cumulative[i] * 255 / total) : 0;
    for (std::size_t i = 0; i < count; ++i)
        if (mask[i]) image[i] = mapped[image[i]];
}

}  // namespace fpm::image::convert
