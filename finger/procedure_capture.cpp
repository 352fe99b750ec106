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
    // The procedure's own geometry: the one the caller's last size query set, which the
    // caller sizes its images from. The module must still describe it; before any size
    // query its answer becomes the geometry, as a caller's query would make it.
    transport::SizeAnswer answer;
    if (transport::askSize(connection::connectedHandle(), answer) != kSuccess) return false;
    Geometry g = state().geometry();
    if (g.bytes() == 0) {
        g = {answer.width, answer.height, answer.bytesPerPixel, 1, true};
        state().setGeometry(g);
    } else if (!g.fromAnswer(answer.width, answer.height, answer.bytesPerPixel).sameImage(g)) {
        return false;
    }
    if (g.bytes() == 0) return false;
    geometry = g;
    width = g.width;
    height = g.height;
    bytesPerPixel = static_cast<std::uint8_t>(g.bytesPerPixel);
    raw.assign(static_cast<std::size_t>(g.bytes()), 0);
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
