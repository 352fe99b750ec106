// The 16-bit to 8-bit conversion with any size and any pixels. Buffers are exactly as
// large as the call's width and height say (or smaller, when the input claims a size it
// does not carry), and the working size is fixed afresh for each input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <vector>

#include "fpmodule.h"
#include "fuzz/fuzz_support.h"
#include "image/convert16to8.h"
#include "support/library_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fpm;
    FuzzedDataProvider in(data, size);
    fuzz::useInstantSystem(false);
    test::resetLibraryState();
    test::setLibraryGeometry(0, 0, 2);

    // Two calls: the first fixes the working size, the second meets it with its own.
    for (int call = 0; call < 2 && in.remaining_bytes() > 0; ++call) {
        // Mostly small images, so that a run tries many; any size at all one time in
        // sixteen, and a sensor's full size (up to 260 x 260: the counts of more than 65535
        // pixels take another path) one time in 32, as such an image costs as much as a
        // hundred small ones.
        const int kind = in.ConsumeIntegralInRange(0, 31);
        const auto side = [&]() -> std::int32_t {
            if (kind < 2) return in.ConsumeIntegral<std::int32_t>();
            return in.ConsumeIntegralInRange(0, kind == 2 ? 260 : 40);
        };
        const std::int32_t width = side();
        const std::int32_t height = side();
        // Buffers of exactly width x height pixels wherever the library may take the size;
        // one pixel for the others, which the library must refuse without reading.
        const bool takeable = width > 0 && height > 0 && width <= image::kMaxConversionSide &&
                              height <= image::kMaxConversionSide;
        const std::size_t held = takeable ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 1;
        // Not zeroed first: every input byte is filled, and the output is never read.
        auto input = std::make_unique_for_overwrite<std::uint8_t[]>(2 * held);
        fuzz::fillRepeating(in.ConsumeBytes<std::uint8_t>(2 * held), input.get(), 2 * held);
        auto output = std::make_unique_for_overwrite<std::uint8_t[]>(held);
        Trans16To8Img(input.get(), output.get(), width, height);
    }
    return 0;
}
