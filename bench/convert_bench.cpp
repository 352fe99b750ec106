// The 16-bit to 8-bit conversion on a 192 x 192 fingerprint-like capture: the library's
// pipeline, the plain step-by-step oracle of the tests, and each step on its own (fed
// with what the steps before it produce). bench_main.cpp prints the library's speed-up
// over the oracle at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "connection/connection_state.h"
#include "image/convert_steps.h"
#include "sim/fingerprint_synth.h"
#include "support/convert_oracle.h"

namespace {

using namespace fpm::image::convert;

constexpr int kSide = 192;

// Every intermediate image of one conversion, computed once.
struct Stages {
    std::vector<std::uint16_t> samples = fpm::sim::synthesizeFingerprint16(kSide, kSide, 7);
    Plane loaded{kSide, kSide}, filtered{kSide, kSide};
    std::uint16_t threshold = 0;
    AboveMap above;
    std::vector<Span> columns, rows;
    Mask mask;
    // 192 x 192 pixels: the pass counts in 16 bits.
    std::vector<std::uint16_t> counts;
    Filtered found;
    StretchRange range;
    ValueTable stretched, inverted, equalised;

    Stages()
    {
        loadSamples(bytes(), loaded);
        threshold = blockThreshold(loaded);
        markAbove(loaded, threshold, above);
        columns = columnSpans(above);
        rows = rowSpans(above);
        foregroundMask(columns, rows, mask);
        FilterBuffers buffers;
        ValueCounts wide(kTableSize, 0);
        found = filterImage(loaded, mask, filtered, wide.data(), buffers);
        counts.assign(buffers.narrowCounts.begin(), buffers.narrowCounts.begin() + static_cast<std::ptrdiff_t>(found.entries));
        range = stretchRange(counts);
        stretchTable(range, found.entries, stretched);
        inverted = stretched;
        invertTable(inverted);
        equalised = inverted;
        equaliseTable(equalised, counts);
    }
    const std::uint8_t *bytes() const { return reinterpret_cast<const std::uint8_t *>(samples.data()); }
};

const Stages &stages()
{
    static const Stages s;
    return s;
}

// The export, as a caller sees it (a 16-bit module connected).
void ConvertLibrary(benchmark::State &st)
{
    fpm::state().bytesPerPixel = 2;
    std::vector<std::uint8_t> out(kSide * kSide);
    for (auto _ : st) {
        if (Trans16To8Img(stages().bytes(), out.data(), kSide, kSide) != 0) st.SkipWithError("not converted");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(ConvertLibrary)->Unit(benchmark::kMicrosecond);

void ConvertOracle(benchmark::State &st)
{
    for (auto _ : st) benchmark::DoNotOptimize(fpm::test::oracleConvert(stages().samples, kSide, kSide));
}
BENCHMARK(ConvertOracle)->Unit(benchmark::kMicrosecond);

void ConvertStep01_LoadSamples(benchmark::State &st)
{
    Plane p(kSide, kSide);
    for (auto _ : st) {
        loadSamples(stages().bytes(), p);
        benchmark::DoNotOptimize(p.v.data());
    }
}
BENCHMARK(ConvertStep01_LoadSamples)->Unit(benchmark::kMicrosecond);

void ConvertStep02_BlockThreshold(benchmark::State &st)
{
    for (auto _ : st) benchmark::DoNotOptimize(blockThreshold(stages().loaded));
}
BENCHMARK(ConvertStep02_BlockThreshold)->Unit(benchmark::kMicrosecond);

void ConvertStep03_MarkAbove(benchmark::State &st)
{
    AboveMap above;
    for (auto _ : st) {
        markAbove(stages().loaded, stages().threshold, above);
        benchmark::DoNotOptimize(above.bytes.data());
    }
}
BENCHMARK(ConvertStep03_MarkAbove)->Unit(benchmark::kMicrosecond);

void ConvertStep03_ColumnSpans(benchmark::State &st)
{
    for (auto _ : st) benchmark::DoNotOptimize(columnSpans(stages().above));
}
BENCHMARK(ConvertStep03_ColumnSpans)->Unit(benchmark::kMicrosecond);

void ConvertStep04_RowSpans(benchmark::State &st)
{
    for (auto _ : st) benchmark::DoNotOptimize(rowSpans(stages().above));
}
BENCHMARK(ConvertStep04_RowSpans)->Unit(benchmark::kMicrosecond);

void ConvertStep04_ForegroundMask(benchmark::State &st)
{
    Mask mask;
    for (auto _ : st) {
        foregroundMask(stages().columns, stages().rows, mask);
        benchmark::DoNotOptimize(mask.data());
    }
}
BENCHMARK(ConvertStep04_ForegroundMask)->Unit(benchmark::kMicrosecond);

void ConvertStep05to08_FilterImage(benchmark::State &st)
{
    Plane out(kSide, kSide);
    FilterBuffers buffers;
    ValueCounts counts(kTableSize, 0);
    for (auto _ : st) {
        const Filtered found = filterImage(stages().loaded, stages().mask, out, counts.data(), buffers);
        if (found.narrow) std::fill_n(buffers.narrowCounts.begin(), found.entries, std::uint16_t{0});
        else std::fill_n(counts.begin(), found.entries, 0u);
        benchmark::DoNotOptimize(out.v.data());
    }
}
BENCHMARK(ConvertStep05to08_FilterImage)->Unit(benchmark::kMicrosecond);

void ConvertStep09_StretchRange(benchmark::State &st)
{
    for (auto _ : st) benchmark::DoNotOptimize(stretchRange(stages().counts));
}
BENCHMARK(ConvertStep09_StretchRange)->Unit(benchmark::kMicrosecond);

void ConvertStep09_StretchTable(benchmark::State &st)
{
    ValueTable table;
    for (auto _ : st) {
        stretchTable(stages().range, stages().found.entries, table);
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(ConvertStep09_StretchTable)->Unit(benchmark::kMicrosecond);

void ConvertStep10_InvertTable(benchmark::State &st)
{
    ValueTable table = stages().stretched;
    for (auto _ : st) {
        invertTable(table);
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(ConvertStep10_InvertTable)->Unit(benchmark::kMicrosecond);

void ConvertStep11_EqualiseTable(benchmark::State &st)
{
    ValueTable table(stages().inverted.size());
    for (auto _ : st) {
        // The step works in place; a fresh copy each time (well under a microsecond)
        // keeps its input the same.
        std::memcpy(table.data(), stages().inverted.data(), table.size());
        equaliseTable(table, stages().counts);
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(ConvertStep11_EqualiseTable)->Unit(benchmark::kMicrosecond);

void ConvertStep12_ApplyTable(benchmark::State &st)
{
    std::vector<std::uint8_t> out(kSide * kSide);
    for (auto _ : st) {
        applyTable(stages().filtered, stages().mask, stages().equalised, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(ConvertStep12_ApplyTable)->Unit(benchmark::kMicrosecond);

}  // namespace
