#include "finger/capture_image.h"

#include "image/defect_pixels.h"

namespace fpm::finger {

ResultByte readCaptureImage(const image::ImageRead &read, device::Handle handle, std::uint8_t *buffer)
{
    return readCaptureImage(read, handle, buffer, state().geometry());
}

ResultByte readCaptureImage(const image::ImageRead &read, device::Handle handle, std::uint8_t *buffer,
                            const Geometry &geometry)
{
    if (image::readPlain(read, handle, buffer, geometry.bytes()) != kSuccess) return kFailure;
    // A repair that cannot run leaves the image as read; the capture itself succeeded,
    // unless the module now describes another image than the one it sent.
    if (image::repairDefectPixels(buffer, geometry) == image::kGeometryChanged) return kFailure;
    return kSuccess;
}

}  // namespace fpm::finger
