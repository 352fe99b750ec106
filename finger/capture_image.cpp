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
    // The repair runs on the library's copy: its size query can still fail the read, and
    // the caller's buffer must then be as the caller left it. A repair that cannot run
    // leaves the image as read; the capture itself succeeded, unless the module now
    // describes another image than the one it sent.
    return image::readPlain(read, handle, buffer, geometry.bytes(), [&](std::uint8_t *image) {
        return image::repairDefectPixels(image, geometry) != image::kGeometryChanged;
    });
}

}  // namespace fpm::finger
