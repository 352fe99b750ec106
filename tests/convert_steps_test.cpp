// Each step of the 16-bit to 8-bit conversion on small images worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
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
    const std::vector<Span> spans = columnSpans(p, 10);
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
    const std::vector<Span> spans = rowSpans(p, 10);
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

TEST(ConvertSpans, MaskIsTheUnionOfCoveringSpans)
{
    const std::vector<Span> columns = {{0, 0}, {0, 2}, {0, 0}, {2, 1}};
    const std::vector<Span> rows = {{3, 3}, {0, 0}, {0, 0}, {0, 0}, {1, 3}};
    const Mask mask = foregroundMask(4, 5, columns, rows);
    const Mask expected = {
        0, 1, 0, 0,
        0, 1, 0, 0,
        0, 1, 0, 0,
        0, 0, 0, 0,
        0, 1, 1, 1,
    };
    EXPECT_EQ(mask, expected);
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
    Mask mask(18, 1);
    mask[0] = 0;  // background keeps its value
    Plane out(3, 6);
    flattenRows(in, mask, out);
    EXPECT_EQ(rowsOf(out), rowsOf(planeOf({
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
    Plane out(3, 5);
    flattenRows(in, Mask(15, 1), out);
    EXPECT_EQ(out.at(0, 0), 6523);
    EXPECT_EQ(out.at(1, 0), 6524);
    EXPECT_EQ(out.at(2, 4), 28369);
}

TEST(ConvertFilters, SmoothingReplicatesTheEdgesAndTruncates)
{
    // A lone 91 in the corner is counted four times by itself, twice by its edge
    // neighbours and once by the diagonal one.
    const Plane in = planeOf({{91, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    Plane out(3, 3);
    smooth(in, out);
    EXPECT_EQ(rowsOf(out), rowsOf(planeOf({{40, 20, 0}, {20, 10, 0}, {0, 0, 0}})));
}

TEST(ConvertFilters, SharpeningClampsAtZeroAndKeepsTheLow16Bits)
{
    const Plane corner = planeOf({{90, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    Plane out(3, 3);
    sharpen(corner, out);
    // Corner: 9 * 90 minus its replicated neighbours (three more copies of itself).
    EXPECT_EQ(rowsOf(out), rowsOf(planeOf({{540, 0, 0}, {0, 0, 0}, {0, 0, 0}})));

    const Plane peak = planeOf({{0, 0, 0}, {0, 65535, 0}, {0, 0, 0}});
    sharpen(peak, out);
    EXPECT_EQ(out.at(1, 1), (9 * 65535) & 0xFFFF);
    EXPECT_EQ(out.at(0, 0), 0);
}

TEST(ConvertFilters, BackgroundClearsToZero)
{
    Plane p = planeOf({{5, 6, 7}});
    clearBackground(p, Mask{1, 0, 1});
    EXPECT_EQ(rowsOf(p), rowsOf(planeOf({{5, 0, 7}})));
}

TEST(ConvertStretch, RangeSkipsTwoPercentAtEachEnd)
{
    // 99 foreground values above 0, so each tail holds at most 1 (99 * 2 / 100).
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
    const StretchRange range = stretchRange(p, mask);
    EXPECT_EQ(range.low, 8);
    EXPECT_EQ(range.high, 1000);

    p.v[5] = 0;
    p.v[6] = 9;
    p.v[7] = 1001;
    std::vector<std::uint8_t> out(100);
    stretchToBytes(p, range, out.data());
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);    // below low
    EXPECT_EQ(out[2], 0);    // equal to low
    EXPECT_EQ(out[3], 255);  // equal to high
    EXPECT_EQ(out[4], 255);
    EXPECT_EQ(out[6], 0);    // 1 * 255 / 992
    EXPECT_EQ(out[7], 255);
    EXPECT_EQ(out[50], 392 * 255 / 992);
}

TEST(ConvertStretch, EmptyOrSingleBinRangeGivesZero)
{
    Plane p = filled(4, 4, 0);
    Mask mask(16, 1);
    StretchRange range = stretchRange(p, mask);
    EXPECT_GE(range.low, range.high);

    std::fill(p.v.begin(), p.v.end(), 401);
    range = stretchRange(p, mask);
    EXPECT_EQ(range.low, 400);
    EXPECT_EQ(range.high, 400);
    std::vector<std::uint8_t> out(16, 77);
    stretchToBytes(p, range, out.data());
    EXPECT_EQ(out, std::vector<std::uint8_t>(16, 0));
}

TEST(ConvertStretch, QuotientIsExactForEveryRangeWidth)
{
    // Every range a 4096-bin histogram can give, probed on both sides of each step of
    // the quotient, against plain division.
    for (std::uint32_t high = 4; high <= 4095 * 4; high += 4) {
        Plane p(512, 1);
        for (std::uint32_t q = 0; q < 256; ++q) {
            const std::uint32_t x = (q * high + 254) / 255;  // first x with quotient q
            p.v[2 * q] = static_cast<std::uint16_t>(std::min(x, high));
            p.v[2 * q + 1] = static_cast<std::uint16_t>(x == 0 ? 0 : std::min(x - 1, high));
        }
        std::vector<std::uint8_t> out(512);
        stretchToBytes(p, {0, static_cast<std::uint16_t>(high)}, out.data());
        for (int i = 0; i < 512; ++i) ASSERT_EQ(out[i], p.v[i] * 255 / high) << high << " " << p.v[i];
    }
}

TEST(ConvertEqualise, MapsForegroundThroughTheCumulativeHistogram)
{
    std::vector<std::uint8_t> image = {10, 10, 200, 255, 3};
    equalise(image.data(), Mask{1, 1, 1, 0, 0});
    // C(10) = 2, C(200) = C(255) = 3.
    EXPECT_EQ(image, (std::vector<std::uint8_t>{170, 170, 255, 255, 3}));

    std::vector<std::uint8_t> background = {255, 7};
    equalise(background.data(), Mask{0, 0});
    EXPECT_EQ(background, (std::vector<std::uint8_t>{255, 7}));
}

}  // namespace
}  // namespace fpm::image::convert
