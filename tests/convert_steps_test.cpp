// Each step of the 16-bit to 8-bit conversion on small images worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "image/convert_steps.h"

namespace fpm::image::convert {
namespace {

Plane planeOf(const std::vector<std::vector<std::uint16_t>> &rows)
{
    Plane p(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.row(y)[x] = rows[y][x];
    return p;
}

std::vector<std::vector<std::uint16_t>> rowsOf(const Plane &p)
{
    std::vector<std::vector<std::uint16_t>> rows;
    for (int y = 0; y < p.height; ++y) rows.emplace_back(p.row(y), p.row(y) + p.width);
    return rows;
}

Plane filled(int width, int height, std::uint16_t value)
{
    Plane p(width, height);
    std::fill(p.v.begin(), p.v.end(), value);
    return p;
}

AboveMap aboveOf(const Plane &p, std::uint16_t threshold)
{
    AboveMap above;
    markAbove(p, threshold, above);
    return above;
}

void fillBlock(Plane &p, int bx, int by, std::uint16_t value)
{
    for (int y = by * 16; y < by * 16 + 16; ++y)
        for (int x = bx * 16; x < bx * 16 + 16; ++x) p.row(y)[x] = value;
}

TEST(ConvertThreshold, IsThirtyPercentOfTheBrightestWholeBlock)
{
    // Two whole blocks across, one down; the leftover 8 columns and 4 rows are in no
    // block, so their huge values must not count.
    Plane p = filled(40, 20, 60000);
    fillBlock(p, 0, 0, 1000);
    fillBlock(p, 1, 0, 2000);
    p.row(3)[20] = 2000 + 255;  // the mean truncates: still 2000
    EXPECT_EQ(blockThreshold(p), 600);

    fillBlock(p, 1, 0, 1001);   // 300.3 truncated
    EXPECT_EQ(blockThreshold(p), 300);
    fillBlock(p, 0, 0, 10);
    fillBlock(p, 1, 0, 10);     // 0.3 * 10 is exactly 3 in double precision
    EXPECT_EQ(blockThreshold(p), 3);

    EXPECT_EQ(blockThreshold(filled(15, 40, 50000)), 0);
    EXPECT_EQ(blockThreshold(filled(40, 15, 50000)), 0);
}

TEST(ConvertThreshold, IntegerFactorMatchesTheDoubleProductForEveryMean)
{
    for (std::uint32_t mean = 0; mean <= 65535; ++mean) {
        volatile double product = mean * 0.3;
        ASSERT_EQ(static_cast<std::uint32_t>(product), mean * 3 / 10) << mean;
    }
}

TEST(ConvertSpans, ColumnsRunFromTheFirstToTheLastRunOfThreeAboveTheThreshold)
{
    // Threshold 10: a value of 10 is not above it.
    const Plane p = planeOf({
        {0, 11, 11},
        {11, 11, 11},
        {11, 0, 11},
        {11, 11, 0},
        {0, 11, 11},
        {0, 0, 11},
        {0, 11, 11},
        {0, 11, 10},
    });
    const std::vector<Span> spans = columnSpans(aboveOf(p, 10));
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].first, 1);
    EXPECT_EQ(spans[0].last, 3);
    EXPECT_TRUE(spans[0].covers());
    // No run of three: the scans stop at H - 3 and 2, which do not make a span.
    EXPECT_EQ(spans[1].first, 5);
    EXPECT_EQ(spans[1].last, 2);
    EXPECT_FALSE(spans[1].covers());
    EXPECT_EQ(spans[2].first, 0);
    EXPECT_EQ(spans[2].last, 6);
}

TEST(ConvertSpans, RowsRunFromTheFirstToTheLastRunOfThreeAboveTheThreshold)
{
    const Plane p = planeOf({
        {0, 11, 11, 11, 0, 0, 0, 0},
        {11, 11, 0, 11, 11, 0, 11, 11},
        {11, 11, 11, 0, 11, 11, 11, 10},
        {9, 9, 9, 9, 9, 9, 9, 9},
        {20, 20, 20, 20, 20, 20, 20, 20},
    });
    const std::vector<Span> spans = rowSpans(aboveOf(p, 10));
    ASSERT_EQ(spans.size(), 5u);
    EXPECT_EQ(spans[0].first, 1);
    EXPECT_EQ(spans[0].last, 3);
    EXPECT_EQ(spans[1].first, 5);
    EXPECT_EQ(spans[1].last, 2);
    EXPECT_EQ(spans[2].first, 0);
    EXPECT_EQ(spans[2].last, 6);
    EXPECT_FALSE(spans[3].covers());
    EXPECT_EQ(spans[4].first, 0);
    EXPECT_EQ(spans[4].last, 7);
}

TEST(ConvertSpans, AgreeWithAPlainScanOnRandomMaps)
{
    // The scans read eight positions at a time: runs across word edges, rows just long
    // enough for a word, columns found only from one side.
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        const int w = 3 + static_cast<int>(random() % 40);
        const int h = 3 + static_cast<int>(random() % 40);
        const unsigned density = 2 + random() % 3;  // 1 in 2 to 1 in 4 below the threshold
        Plane p(w, h);
        for (std::uint16_t &v : p.v) v = random() % density ? 11 : 0;
        const AboveMap above = aboveOf(p, 10);
        // From the first to the last start of three above the threshold along one line of
        // `count` pixels, or the scans' stopping places without one.
        auto plainSpan = [&](int count, int x, int y, int dx, int dy) {
            auto runAt = [&](int i) {
                for (int k = i; k < i + 3; ++k)
                    if (!above.row(y + k * dy)[x + k * dx]) return false;
                return true;
            };
            std::pair<int, int> span{count - 3, 2};
            for (int i = count - 3; i >= 0; --i)
                if (runAt(i)) span.first = i;
            for (int i = 0; i <= count - 3; ++i)
                if (runAt(i)) span.second = i + 2;
            return span;
        };
        const std::vector<Span> rows = rowSpans(above), columns = columnSpans(above);
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(std::pair(rows[y].first, rows[y].last), plainSpan(w, 0, y, 1, 0)) << w << " x " << h << " row " << y;
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(std::pair(columns[x].first, columns[x].last), plainSpan(h, x, 0, 0, 1))
                << w << " x " << h << " column " << x;
    }
}

TEST(ConvertSpans, MaskIsTheUnionOfCoveringSpans)
{
    const std::vector<Span> columns = {{0, 0}, {0, 2}, {0, 0}, {2, 1}};
    const std::vector<Span> rows = {{3, 3}, {0, 0}, {0, 0}, {0, 0}, {1, 3}};
    Mask mask;
    foregroundMask(columns, rows, mask);
    const Mask expected = {
        0, 1, 0, 0,
        0, 1, 0, 0,
        0, 1, 0, 0,
        0, 0, 0, 0,
        0, 1, 1, 1,
    };
    EXPECT_EQ(mask, expected);
}

// Row flattening of a whole image, row by row as the rolling pass does it.
Plane flattened(const Plane &in, const Mask &mask)
{
    Plane out(in.width, in.height);
    const std::vector<std::int32_t> corrections = rowCorrections(in);
    for (int y = 0; y < in.height; ++y)
        flattenRow(in.row(y), mask.data() + static_cast<std::size_t>(y) * in.width, in.width, corrections[y], out.row(y));
    return out;
}

TEST(ConvertFlatten, ForegroundMovesToTheMeanOfFiveRowMeans)
{
    // Row means 10, 20, 30, 40, 50, 61. Five-row means: rows 0..4 (30) for rows 0 to 2,
    // rows 1..5 (201 / 5 = 40) for rows 3 to 5.
    const Plane in = planeOf({
        {10, 10, 10},
        {20, 20, 20},
        {30, 30, 30},
        {40, 40, 40},
        {50, 50, 50},
        {100, 78, 5},
    });
    EXPECT_EQ(rowCorrections(in), (std::vector<std::int32_t>{20, 10, 0, 0, -10, -21}));
    Mask mask(18, 1);
    mask[0] = 0;  // background keeps its value
    EXPECT_EQ(rowsOf(flattened(in, mask)), rowsOf(planeOf({
                                               {10, 30, 30},
                                               {30, 30, 30},
                                               {30, 30, 30},
                                               {40, 40, 40},
                                               {40, 40, 40},
                                               {79, 57, 0},  // 5 - 21 is negative: 0
                                           })));
}

TEST(ConvertFlatten, KeepsTheLow16BitsOfALargeResult)
{
    // Row 0's mean is 21845, every other row's 30000: the five-row mean is 28369, so
    // row 0 gains 6524 and 65535 + 6524 keeps its low 16 bits.
    const Plane in = planeOf({
        {65535, 0, 0},
        {30000, 30000, 30000},
        {30000, 30000, 30000},
        {30000, 30000, 30000},
        {30000, 30000, 30000},
    });
    const Plane out = flattened(in, Mask(15, 1));
    EXPECT_EQ(out.at(0, 0), 6523);
    EXPECT_EQ(out.at(1, 0), 6524);
    EXPECT_EQ(out.at(2, 4), 28369);
}

// A row as the filters take it: one replicated value on each side.
struct PaddedRow {
    std::vector<std::uint16_t> v;
    explicit PaddedRow(std::vector<std::uint16_t> row) : v(std::move(row))
    {
        v.insert(v.begin(), v.front());
        v.push_back(v.back());
    }
    const std::uint16_t *data() const { return v.data() + 1; }
};

TEST(ConvertFilters, SmoothingReplicatesTheEdgesAndTruncates)
{
    // A lone 91 in the corner is counted four times by itself, twice by its edge
    // neighbours and once by the diagonal one.
    const PaddedRow top({91, 0, 0}), zeros({0, 0, 0});
    std::vector<std::uint16_t> out(3);
    RowScratch scratch;
    smoothRow(top.data(), top.data(), zeros.data(), 3, out.data(), scratch);  // the top row replicated above
    EXPECT_EQ(out, (std::vector<std::uint16_t>{40, 20, 0}));
    smoothRow(top.data(), zeros.data(), zeros.data(), 3, out.data(), scratch);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{20, 10, 0}));
    // The largest sum of nine values divides exactly; one below it truncates.
    const PaddedRow full({65535, 65535, 65535}), almost({65535, 65534, 65535});
    smoothRow(full.data(), full.data(), full.data(), 3, out.data(), scratch);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{65535, 65535, 65535}));
    smoothRow(full.data(), almost.data(), full.data(), 3, out.data(), scratch);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{65534, 65534, 65534}));
}

TEST(ConvertFilters, SharpeningClampsAtZeroKeepsTheLow16BitsAndClearsTheBackground)
{
    const PaddedRow corner({90, 0, 0}), zeros({0, 0, 0});
    const std::uint8_t all[3] = {1, 1, 1};
    std::vector<std::uint16_t> out(3, 7);
    RowScratch scratch;
    // Corner: 9 * 90 minus its replicated neighbours (three more copies of itself).
    sharpenRow(corner.data(), corner.data(), zeros.data(), all, 3, out.data(), scratch);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{540, 0, 0}));

    // Written as table indexes: the low 16 bits first, then everything from 16383 up on
    // the last entry.
    const PaddedRow peak({0, 7282, 0});
    EXPECT_EQ(sharpenRow(zeros.data(), peak.data(), zeros.data(), all, 3, out.data(), scratch), 2);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{0, (9 * 7282) & 0xFFFF, 0}));
    const PaddedRow high({0, 7000, 0});
    EXPECT_EQ(sharpenRow(zeros.data(), high.data(), zeros.data(), all, 3, out.data(), scratch), 16383);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{0, 16383, 0}));

    const std::uint8_t middleOut[3] = {1, 0, 1};
    sharpenRow(corner.data(), corner.data(), zeros.data(), middleOut, 3, out.data(), scratch);
    sharpenRow(zeros.data(), peak.data(), zeros.data(), middleOut, 3, out.data(), scratch);
    EXPECT_EQ(out, (std::vector<std::uint16_t>{0, 0, 0}));
}

// Counted as the rolling pass counts: each row turned into table indexes first.
ValueCounts countsOf(Plane p, const Mask &mask)
{
    ValueCounts counts(kTableSize, 0);
    for (std::uint16_t &v : p.v) v = static_cast<std::uint16_t>(tableIndex(v));
    for (int y = 0; y < p.height; ++y) {
        countRow(p.row(y), mask.data() + static_cast<std::size_t>(y) * p.width, p.width, counts.data());
    }
    return counts;
}

ValueTable stretched(StretchRange range, std::size_t entries = kTableSize)
{
    ValueTable table;
    stretchTable(range, entries, table);
    return table;
}

TEST(ConvertStretch, CountsForegroundValuesWithTheTopSharingOneEntry)
{
    const Plane p = planeOf({{0, 0, 5, 5, 16382, 16383, 65535, 7}, {5, 9, 9, 0, 0, 0, 0, 9}});
    const ValueCounts counts = countsOf(p, Mask{1, 0, 1, 1, 1, 1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 1});
    EXPECT_EQ(counts[0], 3u);
    EXPECT_EQ(counts[5], 2u);
    EXPECT_EQ(counts[7], 0u);
    EXPECT_EQ(counts[9], 2u);
    EXPECT_EQ(counts[16382], 1u);
    EXPECT_EQ(counts[16383], 2u);
}

TEST(ConvertStretch, RangeSkipsTwoPercentAtEachEnd)
{
    // 98 foreground values above 0, so each tail holds at most 1 (98 * 2 / 100).
    Plane p(10, 10);
    Mask mask(100, 1);
    std::fill(p.v.begin(), p.v.end(), 400);
    p.v[0] = 0;       // not counted
    p.v[1] = 4;       // bin 1
    p.v[2] = 8;       // bin 2: the count from below passes 1 here
    p.v[3] = 1000;    // bin 250: the count from above passes 1 here
    p.v[4] = 60000;   // counted in the last bin
    p.v[5] = 16380;   // background: not counted
    mask[5] = 0;
    const StretchRange range = stretchRange(countsOf(p, mask));
    EXPECT_EQ(range.low, 8);
    EXPECT_EQ(range.high, 1000);

    const ValueTable table = stretched(range);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[4], 0);     // below low
    EXPECT_EQ(table[8], 0);     // equal to low
    EXPECT_EQ(table[9], 0);     // 1 * 255 / 992
    EXPECT_EQ(table[400], 392 * 255 / 992);
    EXPECT_EQ(table[1000], 255);  // equal to high
    EXPECT_EQ(table[1001], 255);
    EXPECT_EQ(table[tableIndex(60000)], 255);
}

TEST(ConvertStretch, EmptyOrSingleBinRangeGivesZero)
{
    Plane p = filled(4, 4, 0);
    Mask mask(16, 1);
    StretchRange range = stretchRange(countsOf(p, mask));
    EXPECT_GE(range.low, range.high);
    EXPECT_EQ(stretched(range), ValueTable(kTableSize, 0));

    std::fill(p.v.begin(), p.v.end(), 401);
    range = stretchRange(countsOf(p, mask));
    EXPECT_EQ(range.low, 400);
    EXPECT_EQ(range.high, 400);
    EXPECT_EQ(stretched(range), ValueTable(kTableSize, 0));
}

TEST(ConvertStretch, RangeAgreesWithTheBinWalksOnRandomCounts)
{
    // The walks skip eight values at a time: tails ending on either side of those steps,
    // sparse and dense counts, tables cut anywhere.
    std::mt19937 random(11);
    for (int i = 0; i < 500; ++i) {
        std::vector<std::uint16_t> counts(1 + random() % 3000, 0);
        const unsigned sparseness = 1 + random() % 50;
        for (std::uint16_t &c : counts) c = random() % sparseness ? 0 : static_cast<std::uint16_t>(random() % 20);
        std::vector<std::uint32_t> bins((counts.size() + 3) / 4, 0);
        for (std::size_t v = 1; v < counts.size(); ++v) bins[v / 4] += counts[v];
        std::uint32_t n = 0;
        for (std::uint32_t b : bins) n += b;
        const std::uint32_t tail = n * 2 / 100;
        int low = 4096, high = -1;
        for (std::uint32_t b = 0, running = 0; b < bins.size() && low == 4096; ++b)
            if ((running += bins[b]) > tail) low = static_cast<int>(b);
        for (int b = static_cast<int>(bins.size()) - 1, running = 0; b >= 0 && high < 0; --b)
            if ((running += static_cast<int>(bins[b])) > static_cast<int>(tail)) high = b;
        const StretchRange range = stretchRange(NarrowCountsView(counts));
        if (n == 0) {
            EXPECT_GE(range.low, range.high);
            continue;
        }
        ASSERT_EQ(std::pair(int{range.low}, int{range.high}), std::pair(low * 4, high * 4)) << "case " << i;
    }
}

TEST(ConvertStretch, TableMatchesPlainDivisionForEveryRange)
{
    // Each range has its own staircase; every width from 0 and a sample of others are
    // checked against plain division.
    for (std::uint32_t low : {0u, 4u, 1000u, 8188u}) {
        for (std::uint32_t high = low + 4; high <= 16380; high += low == 0 ? 4 : 52) {
            const ValueTable table = stretched({static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high)});
            for (std::uint32_t v = 0; v < kTableSize; v += (v < low || v > high) ? 97 : 1) {
                const std::uint32_t expected = v < low ? 0 : v > high ? 255 : (v - low) * 255 / (high - low);
                ASSERT_EQ(table[v], expected) << low << ".." << high << " at " << v;
            }
        }
    }
}

TEST(ConvertStretch, TablesSizedToTheValuesPresentAgreeWithFullOnes)
{
    // Counts and tables cut after the largest value present give the same range and the
    // same entries as full-size ones, whether the cut falls below, inside or above the
    // stretched range.
    ValueCounts counts(kTableSize, 0);
    counts[0] = 5;
    for (std::size_t v = 40; v < 900; v += 7) counts[v] = 3;
    counts[2000] = 1;
    const StretchRange range = stretchRange(counts);
    ASSERT_LT(range.low, range.high);
    const StretchRange cut = stretchRange(CountsView(counts.data(), 2001));
    EXPECT_EQ(cut.low, range.low);
    EXPECT_EQ(cut.high, range.high);
    const ValueTable full = stretched(range);
    for (std::size_t entries : {std::size_t{1}, std::size_t{30}, std::size_t{500}, std::size_t{2001}}) {
        EXPECT_EQ(stretched(range, entries), ValueTable(full.begin(), full.begin() + static_cast<long>(entries)));
    }
}

TEST(ConvertEqualise, MapsForegroundThroughTheCumulativeHistogramAndKeepsBackgroundWhite)
{
    // Foreground values 0, 0, 2 and 3; the table inverts, so they land on 255, 255, 253
    // and 252. C(252) = 1, C(253) = 2, C(255) = 4.
    const Plane p = planeOf({{0, 0, 2, 3, 9}});
    const Mask mask{1, 1, 1, 1, 0};
    ValueTable table(kTableSize);
    for (int v = 0; v < kTableSize; ++v) table[v] = static_cast<std::uint8_t>(255 - std::min(v, 255));
    equaliseTable(table, countsOf(p, mask));
    std::vector<std::uint8_t> out(5);
    applyTable(p, mask, table, out.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{255, 255, 127, 63, 255}));

    // Without foreground the table stays as it was.
    ValueTable untouched(kTableSize, 9);
    equaliseTable(untouched, countsOf(p, Mask(5, 0)));
    EXPECT_EQ(untouched, ValueTable(kTableSize, 9));
}

}  // namespace
}  // namespace fpm::image::convert
