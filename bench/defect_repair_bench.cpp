// The defect repair on a 192 x 192 image: the listed pixels alone, and the whole call with
// its size query on the virtual module.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "connection/connection_state.h"
#include "image/defect_pixels.h"
#include "sim/virtual_host.h"

namespace {

constexpr int kSide = 192;

std::vector<fpm::DefectPixel> randomDefects(std::size_t count)
{
    std::mt19937 random(7);
    std::vector<std::uint8_t> taken(kSide * kSide, 0);
    std::vector<fpm::DefectPixel> list;
    while (list.size() < count) {
        const int row = 2 + static_cast<int>(random() % (kSide - 4)), column = 2 + static_cast<int>(random() % (kSide - 4));
        if (taken[row * kSide + column]++) continue;
        list.push_back({row, column});
    }
    std::sort(list.begin(), list.end(), [](auto a, auto b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });
    return list;
}

void RepairListedPixels(benchmark::State &s)
{
    const int depth = static_cast<int>(s.range(1));
    const auto list = randomDefects(static_cast<std::size_t>(s.range(0)));
    std::vector<std::uint8_t> image(kSide * kSide * depth);
    std::mt19937 random(3);
    for (auto &b : image) b = static_cast<std::uint8_t>(random());
    for (auto _ : s) {
        benchmark::DoNotOptimize(fpm::image::repairListedPixels(image.data(), kSide, kSide, depth, list));
        benchmark::ClobberMemory();
    }
    s.SetItemsProcessed(s.iterations() * s.range(0));
}
BENCHMARK(RepairListedPixels)->ArgsProduct({{10, 100, 1000, 5000}, {1, 2}})->Unit(benchmark::kMicrosecond);

// Whole rows listed: the runs are as long as the sensor is wide.
void RepairListedRows(benchmark::State &s)
{
    std::vector<fpm::DefectPixel> list;
    for (int row = 10; row < 16; ++row)
        for (int column = 5; column < kSide - 5; ++column) list.push_back({row, column});
    std::vector<std::uint8_t> image(kSide * kSide * 2, 0x55);
    for (auto _ : s) {
        benchmark::DoNotOptimize(fpm::image::repairListedPixels(image.data(), kSide, kSide, 2, list));
        benchmark::ClobberMemory();
    }
    s.SetItemsProcessed(s.iterations() * static_cast<std::int64_t>(list.size()));
}
BENCHMARK(RepairListedRows)->Unit(benchmark::kMicrosecond);

void RepairDefectPixelsWithSizeQuery(benchmark::State &s)
{
    auto &host = fpm::sim::VirtualHost::instance();
    host.reset();
    fpm::sim::VirtualModule &module = host.addModule();
    module.width = kSide;
    module.height = kSide;
    module.bytesPerPixel = 2;
    fpm::ConnectionState &state = fpm::state();
    state.deviceHandle.store(host.open(fpm::sim::kModulePath));
    state.imageWidth = state.imageHeight = kSide;
    state.bytesPerPixel = 2;
    state.baseImage.assign(kSide * kSide * 2, 100);
    state.baseWidth = state.baseHeight = kSide;
    state.defectPixels = randomDefects(1000);
    std::vector<std::uint8_t> image(kSide * kSide * 2, 0x33);
    for (auto _ : s) {
        benchmark::DoNotOptimize(fpm::image::repairDefectPixels(image.data(), fpm::state().geometry()));
        host.clearRequests();
    }
    host.reset();
    state.deviceHandle.store(nullptr);
}
BENCHMARK(RepairDefectPixelsWithSizeQuery)->Unit(benchmark::kMicrosecond);

}  // namespace
