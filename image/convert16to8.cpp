#include "image/convert16to8.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

#include "connection/connection_state.h"
#include "image/convert_steps.h"
#include "platform/no_destroy.h"

namespace fpm::image {

using namespace convert;

namespace {

// The large buffers of one conversion. Allocating them afresh for every image costs more
// than the conversion's arithmetic: the allocator hands the freed memory back to the
// system and takes page faults on the next call. One set is kept for the process.
struct Workspace {
    Plane image;
    Plane filtered;
    AboveMap above;
    Mask mask;
    FilterBuffers rows;
    // All 0 between conversions: each one clears only the entries it used.
    ValueCounts counts = ValueCounts(kTableSize, 0);
    ValueTable table;
};

// A single spare workspace that concurrent conversions pass around through one atomic
// pointer: a call takes it (or makes its own when another call holds it) and puts it
// back when done (or frees its own when the slot is taken again).
class WorkspaceCache {
public:
    ~WorkspaceCache() { delete spare_.exchange(nullptr); }

    std::unique_ptr<Workspace> take()
    {
        std::unique_ptr<Workspace> taken(spare_.exchange(nullptr, std::memory_order_acq_rel));
        return taken ? std::move(taken) : std::make_unique<Workspace>();
    }
    void giveBack(std::unique_ptr<Workspace> workspace)
    {
        Workspace *expected = nullptr;
        if (spare_.compare_exchange_strong(expected, workspace.get(), std::memory_order_acq_rel))
            workspace.release();
    }

private:
    std::atomic<Workspace *> spare_{nullptr};
};

// Never destroyed: a worker may convert while the process exits.
WorkspaceCache &workspaces()
{
    static NoDestroy<WorkspaceCache> cache;
    return *cache;
}

}  // namespace

void convert16To8(const std::uint8_t *input, std::uint8_t *output, int width, int height)
{
    std::unique_ptr<Workspace> work = workspaces().take();
    Plane &image = work->image;
    Plane &filtered = work->filtered;
    Mask &mask = work->mask;
    image.reshape(width, height);
    filtered.reshape(width, height);

    loadSamples(input, image);
    markAbove(image, blockThreshold(image), work->above);
    foregroundMask(columnSpans(work->above), rowSpans(work->above), mask);
    const Filtered found = filterImage(image, mask, filtered, work->counts.data(), work->rows);
    // Steps 9 to 12 on the count in whichever width the pass kept it, which is then
    // cleared for the next conversion.
    auto finish = [&](auto *counts) {
        const std::span<const std::remove_pointer_t<decltype(counts)>> view(counts, found.entries);
        stretchTable(stretchRange(view), found.entries, work->table);
        invertTable(work->table);
        equaliseTable(work->table, view);
        applyTable(filtered, mask, work->table, output);
        std::fill_n(counts, found.entries, 0);
    };
    if (found.narrow) finish(work->rows.narrowCounts.data());
    else finish(work->counts.data());

    workspaces().giveBack(std::move(work));
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
    if (state().geometry().bytesPerPixel != 2) return kNotSixteenBit;
    // An unusable call must not fix the working size: every later call would fail.
    if (!input || !output || !usableSize(width, height)) return kBadImageArguments;
    const WorkingSize working = workingSizeFor(width, height);
    if (std::int64_t{working.width} * working.height > std::int64_t{width} * height) return kBuffersTooSmall;
    return convertCapture(input, output, working.width, working.height) ? kConverted : kBadImageArguments;
}

bool convertCapture(const std::uint8_t *input, std::uint8_t *output, std::int32_t width, std::int32_t height)
{
    if (!input || !output || !usableSize(width, height)) return false;
    try {
        convert16To8(input, output, width, height);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

}  // namespace fpm::image
