// The images of enrolment, verification and identification captures: read whole, then
// repaired where the sensor has listed defective pixels.
#pragma once

#include <cstdint>

#include "connection/connection_state.h"
#include "connection/result.h"
#include "image/two_phase_read.h"
#include "platform/device_io.h"

namespace fpm::finger {

// Reads an image of the stored geometry into `buffer` and repairs it in place. 1
// delivered (repaired or, when the repair cannot run, as read), 2 failure with `buffer`
// untouched. A null buffer or no size query yet gives 2 with nothing sent.
ResultByte readCaptureImage(const image::ImageRead &read, device::Handle handle, std::uint8_t *buffer);
// The same with a geometry taken beforehand (a procedure's own). 2 also when the repair's
// size query finds the module describing another geometry.
ResultByte readCaptureImage(const image::ImageRead &read, device::Handle handle, std::uint8_t *buffer,
                            const Geometry &geometry);

}  // namespace fpm::finger
