#include "support/image_geometry.h"

#include <algorithm>

#include "fpmodule.h"

namespace fpm::test {

void useGeometry(sim::VirtualModule &module, std::uint8_t width, std::uint8_t height, std::uint8_t bytesPerPixel)
{
    module.width = width;
    module.height = height;
    module.bytesPerPixel = bytesPerPixel;
    std::int32_t w = 0, h = 0;
    std::uint8_t d = 0;
    QuerySizeEx(&w, &h, &d);
    sim::VirtualHost::instance().clearRequests();
}

bool GuardedBuffer::guardIntact() const
{
    return std::all_of(bytes.begin() + size, bytes.end(), [](std::uint8_t b) { return b == kFill; });
}

bool GuardedBuffer::untouched() const
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == kFill; });
}

}  // namespace fpm::test
