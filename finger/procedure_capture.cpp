#include "finger/procedure_capture.h"

#include <cstring>

#include "fpmodule.h"
#include "image/convert16to8.h"

namespace fpm::procedure {

bool CaptureBuffers::querySize()
{
    if (QuerySizeEx(&width, &height, &bytesPerPixel) != 1) return false;
    raw.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * bytesPerPixel, 0);
    return true;
}

Image CaptureBuffers::makeImage() const
{
    return Image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

bool CaptureBuffers::toEightBits(Image &image) const
{
    if (bytesPerPixel == 2) return image::convertCapture(raw.data(), image.data(), width, height);
    if (image.size() != 0) std::memcpy(image.data(), raw.data(), image.size());
    return true;
}

ResultByte connectForProcedure(std::int32_t *width, std::int32_t *height)
{
    if (CheckDeviceConnection() != kSuccess) return kFailure;
    ChangeDevStatus(1);
    std::int32_t w = 0, h = 0;
    std::uint8_t bytesPerPixel = 1;
    const ResultByte sized = QuerySizeEx(&w, &h, &bytesPerPixel);
    if (sized != kSuccess) return sized;
    if (width) *width = w;
    if (height) *height = h;
    return kSuccess;
}

}  // namespace fpm::procedure
