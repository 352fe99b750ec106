#include "finger/capture_image.h"

#include "image/defect_pixels.h"

namespace fpm::finger {

ResultByte readCaptureImage(const image::ImageRead &read, device::Handle handle, std::uint8_t *buffer)
{
    if (image::readPlain(read, handle, buffer) != kSuccess) return kFailure;
    // A repair that cannot run leaves the image as read; the capture itself succeeded.
    image::repairDefectPixels(buffer);
    return kSuccess;
}

}  // namespace fpm::finger
