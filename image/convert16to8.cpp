#include "image/convert16to8.h"

#include <new>

#include "connection/connection_state.h"
#include "image/convert_steps.h"

namespace fpm::image {

using namespace convert;

void convert16To8(const std::uint8_t *input, std::uint8_t *output, int width, int height)
{
    Plane image(width, height);
    Plane scratch(width, height);
    loadSamples(input, image);
    const std::uint16_t threshold = blockThreshold(image);
    const Mask mask = foregroundMask(width, height, columnSpans(image, threshold), rowSpans(image, threshold));
    flattenRows(image, mask, scratch);
    smooth(scratch, image);
    sharpen(image, scratch);
    clearBackground(scratch, mask);
    stretchToBytes(scratch, stretchRange(scratch, mask), output);
    invert(output, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    equalise(output, mask);
}

namespace {

struct WorkingSize {
    std::int32_t width;
    std::int32_t height;
};

std::uint32_t pack(std::int32_t width, std::int32_t height)
{
    return (static_cast<std::uint32_t>(width) << 16) | static_cast<std::uint32_t>(height);
}

// The first caller to get here fixes the size; everyone else reads the winner's.
WorkingSize workingSizeFor(std::int32_t width, std::int32_t height)
{
    std::uint32_t expected = 0;
    std::atomic<std::uint32_t> &fixed = state().conversionWorkingSize;
    if (fixed.compare_exchange_strong(expected, pack(width, height), std::memory_order_acq_rel))
        return {width, height};
    return {static_cast<std::int32_t>(expected >> 16), static_cast<std::int32_t>(expected & 0xFFFF)};
}

bool usableSize(std::int32_t width, std::int32_t height)
{
    return width >= kMinWidth && height >= kMinHeight && width <= kMaxConversionSide &&
           height <= kMaxConversionSide;
}

}  // namespace

std::int32_t trans16To8(const std::uint8_t *input, std::uint8_t *output, std::int32_t width, std::int32_t height)
{
    if (state().bytesPerPixel != 2) return kNotSixteenBit;
    // An unusable call must not fix the working size: every later call would fail.
    if (!input || !output || !usableSize(width, height)) return kBadImageArguments;
    const WorkingSize working = workingSizeFor(width, height);
    if (std::int64_t{working.width} * working.height > std::int64_t{width} * height) return kBuffersTooSmall;
    try {
        convert16To8(input, output, working.width, working.height);
    } catch (const std::bad_alloc &) {
        return kBadImageArguments;
    }
    return kConverted;
}

}  // namespace fpm::image
