// The defect-pixel map from any baseline, and the repair of any image with it, also
// when the image's geometry is not the map's. The repair may change listed pixels only.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/defect_pixels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fpm;
    FuzzedDataProvider in(data, size);
    // Mostly small sensors, so that a run tries many; a full-size one now and then.
    const int largest = in.ConsumeIntegralInRange(0, 7) == 0 ? 255 : 32;
    const std::int32_t width = in.ConsumeIntegralInRange(0, largest);
    const std::int32_t height = in.ConsumeIntegralInRange(0, largest);
    const std::int32_t depth = in.ConsumeIntegralInRange(1, 2);
    const std::size_t bytes = static_cast<std::size_t>(width) * height * depth;

    auto baseline = std::make_unique<std::uint8_t[]>(bytes);
    fuzz::fillRepeating(in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(1, 512)), baseline.get(), bytes, 100);
    const std::vector<DefectPixel> defects = image::findDefectPixels(baseline.get(), width, height, depth);

    // The image: the map's geometry, or another one the module might report later.
    const bool sameGeometry = in.ConsumeBool();
    const std::int32_t imageWidth = sameGeometry ? width : in.ConsumeIntegralInRange(0, largest);
    const std::int32_t imageHeight = sameGeometry ? height : in.ConsumeIntegralInRange(0, largest);
    const std::size_t imageBytes = static_cast<std::size_t>(imageWidth) * imageHeight * depth;
    auto image = std::make_unique<std::uint8_t[]>(imageBytes);
    fuzz::fillRepeating(in.ConsumeRemainingBytes<std::uint8_t>(), image.get(), imageBytes, 7);
    const std::vector<std::uint8_t> before(image.get(), image.get() + imageBytes);

    const std::int32_t result = image::repairListedPixels(image.get(), imageWidth, imageHeight, depth, defects);
    // Put the listed pixels back: what remains must be the image as it was.
    if (result == 0) {
        for (const DefectPixel &p : defects) {
            if (p.row >= imageHeight || p.column >= imageWidth) std::abort();  // repaired outside the image
            const std::size_t at = (static_cast<std::size_t>(p.row) * imageWidth + p.column) * depth;
            std::memcpy(image.get() + at, before.data() + at, depth);
        }
    }
    if (imageBytes && std::memcmp(image.get(), before.data(), imageBytes) != 0) std::abort();
    return 0;
}
