#include "image/defect_pixels.h"

#include <algorithm>

#include "connection/module_handle.h"
#include "factory/test_commands.h"
#include "image/image_read_commands.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"
#include "transport/little_endian.h"
#include "transport/protocol_commands.h"

namespace fpm::image {

namespace {

constexpr std::int32_t kBorder = 2;
constexpr std::uint32_t kBandLow = 30;
constexpr std::uint32_t kBandHigh = 180;

constexpr std::int32_t kQueryFailed = -1;
constexpr std::int32_t kNoImage = -3;
constexpr std::int32_t kNoBaseline = -4;
constexpr std::int32_t kNoNeighbour = -5;

std::uint32_t pixelAt(const std::uint8_t *image, std::size_t index, std::int32_t bytesPerPixel)
{
    if (bytesPerPixel == 1) return image[index];
    return transport::littleEndian(image + 2 * index, 2);
}

void setPixel(std::uint8_t *image, std::size_t index, std::int32_t bytesPerPixel, std::uint32_t value)
{
    if (bytesPerPixel == 1) {
        image[index] = static_cast<std::uint8_t>(value);
    } else {
        image[2 * index] = static_cast<std::uint8_t>(value);
        image[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

bool scanOrder(const DefectPixel &a, const DefectPixel &b)
{
    return a.row != b.row ? a.row < b.row : a.column < b.column;
}

// A run of listed pixels next to each other in one row. Every pixel of it takes the same
// value: the nearest unlisted pixel to the right of a listed pixel is the one just after
// the run, and to the left the one just before it.
struct Run {
    std::int32_t row, first, last;
    std::int32_t left, right;  // -1: none usable
};

template <typename F>
std::int32_t forEachRun(std::span<const DefectPixel> sorted, std::int32_t width, std::int32_t height, F &&f)
{
    for (std::size_t i = 0; i < sorted.size();) {
        Run run{sorted[i].row, sorted[i].column, sorted[i].column, -1, -1};
        std::size_t j = i + 1;
        while (j < sorted.size() && sorted[j].row == run.row && sorted[j].column <= run.last + 1)
            run.last = std::max(run.last, sorted[j++].column);
        i = j;
        if (run.row < 0 || run.row >= height || run.first < 0 || run.last >= width) return kNoNeighbour;
        if (run.last + 1 < width - kBorder) run.right = run.last + 1;
        if (run.first - 1 >= kBorder) run.left = run.first - 1;
        if (run.left < 0 && run.right < 0) return kNoNeighbour;
        if (run.left < 0) run.left = run.right;
        if (run.right < 0) run.right = run.left;
        f(run);
    }
    return 0;
}

}  // namespace

std::vector<DefectPixel> findDefectPixels(const std::uint8_t *baseline, std::int32_t width, std::int32_t height,
                                          std::int32_t bytesPerPixel)
{
    std::vector<DefectPixel> found;
    for (std::int32_t row = kBorder; row < height - kBorder; ++row) {
        for (std::int32_t column = kBorder; column < width - kBorder; ++column) {
            const std::uint32_t v = pixelAt(baseline, static_cast<std::size_t>(row) * width + column, bytesPerPixel);
            if (v < kBandLow || v > kBandHigh) found.push_back({row, column});
        }
    }
    return found;
}

std::int32_t repairListedPixels(std::uint8_t *image, std::int32_t width, std::int32_t height,
                                std::int32_t bytesPerPixel, std::span<const DefectPixel> defects)
{
    std::vector<DefectPixel> reordered;
    if (!std::is_sorted(defects.begin(), defects.end(), scanOrder)) {
        reordered.assign(defects.begin(), defects.end());
        std::sort(reordered.begin(), reordered.end(), scanOrder);
        defects = reordered;
    }
    // Nothing is written unless every listed pixel has a neighbour.
    if (std::int32_t checked = forEachRun(defects, width, height, [](const Run &) {}); checked != 0) return checked;
    forEachRun(defects, width, height, [&](const Run &run) {
        const std::size_t rowStart = static_cast<std::size_t>(run.row) * width;
        const std::uint32_t value = (pixelAt(image, rowStart + run.left, bytesPerPixel) +
                                     pixelAt(image, rowStart + run.right, bytesPerPixel)) >> 1;
        for (std::int32_t column = run.first; column <= run.last; ++column)
            setPixel(image, rowStart + column, bytesPerPixel, value);
    });
    return 0;
}

namespace {

// Size query and baseline read, in test mode. The old baseline and list stay as they
// were until a new baseline has been read.
std::int32_t readBaselineAndList()
{
    const device::Handle handle = connection::connectedHandle();
    std::int32_t width = 0, height = 0;
    std::uint8_t depth = 0;
    if (transport::querySize(handle, transport::SizeQueryKind::Plain, &width, &height, &depth) != kSuccess)
        return kQueryFailed;
    // The size of this query's answer, whatever another thread queries meanwhile.
    const std::int64_t bytes = static_cast<std::int64_t>(width) * height * depth;
    if (bytes == 0) return kQueryFailed;

    std::vector<std::uint8_t> baseline(static_cast<std::size_t>(bytes));
    if (readPlain(kBaseImage, handle, baseline.data(), bytes) != kSuccess) return kQueryFailed;

    std::vector<DefectPixel> pixels = findDefectPixels(baseline.data(), width, height, depth);
    state().setDefectMap(std::move(baseline), width, height, std::move(pixels));
    return 0;
}

}  // namespace

std::int32_t buildDefectPixelMap()
{
    transport::runRow(factory::kEnterTestMode, connection::connectedHandle());  // a module already in test mode says so; the read decides
    const std::int32_t result = readBaselineAndList();
    // Also after a failure: the module must not stay in test mode.
    transport::runRow(factory::kExitTestMode, connection::connectedHandle());
    return result;
}

std::int32_t repairDefectPixels(std::uint8_t *image, const Geometry &inUse)
{
    ConnectionState &s = state();
    if (!s.defectRepairEnabled.load()) return 0;
    // The library's own query: its answer is compared, never stored.
    transport::SizeAnswer answer;
    if (transport::askSize(connection::connectedHandle(), answer) != kSuccess) return kQueryFailed;
    // A module that now reports another geometry than the one the image was read with
    // is not to be trusted with this image.
    if (!inUse.fromAnswer(answer.width, answer.height, answer.bytesPerPixel).sameImage(inUse)) return kGeometryChanged;
    if (!image) return kNoImage;
    const std::int32_t width = inUse.width, height = inUse.height, depth = inUse.bytesPerPixel;
    // A copy: a connect on another thread may rebuild the list during the repair.
    const auto pixels = s.defectPixelsFor(width, height, depth);
    if (!pixels) return kNoBaseline;
    return repairListedPixels(image, width, height, depth, *pixels);
}

}  // namespace fpm::image
