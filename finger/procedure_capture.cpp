#include "finger/procedure_capture.h"

#include <cstring>

#include "card/device_control.h"
#include "connection/connect.h"
#include "connection/module_handle.h"
#include "image/convert16to8.h"
#include "transport/protocol_commands.h"

namespace fpm::procedure {

bool CaptureBuffers::querySize()
{
    if (transport::querySize(connection::connectedHandle(), transport::SizeQueryKind::Plain, &width, &height,
                             &bytesPerPixel) != kSuccess)
        return false;
    raw.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * bytesPerPixel, 0);
    return true;
}

Image CaptureBuffers::makeImage() const
{
    return Image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

void CaptureBuffers::toEightBits(Image &image) const
{
    if (bytesPerPixel == 2) {
        image::trans16To8(raw.data(), image.data(), width, height);
    } else {
        if (image.size() != 0) std::memcpy(image.data(), raw.data(), image.size());
    }
}

ResultByte connectForProcedure(std::int32_t *width, std::int32_t *height)
{
    if (connection::checkDeviceConnection() != kSuccess) return kFailure;
    card::setDeviceStatus(1);
    std::int32_t w = 0, h = 0;
    std::uint8_t bytesPerPixel = 1;
    const ResultByte sized =
        transport::querySize(connection::connectedHandle(), transport::SizeQueryKind::Plain, &w, &h, &bytesPerPixel);
    if (sized != kSuccess) return sized;
    if (width) *width = w;
    if (height) *height = h;
    return kSuccess;
}

}  // namespace fpm::procedure
