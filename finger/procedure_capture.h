// What the enrolment and verification workers share: the geometry of their own size
// query and the turn of a capture into the 8-bit image they report.
#pragma once

#include <cstdint>
#include <vector>

#include "connection/connection_state.h"
#include "connection/result.h"
#include "finger/procedure_image.h"

namespace fpm::procedure {

struct CaptureBuffers {
    Geometry geometry;  // taken once at the start; every capture is read with it
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t bytesPerPixel = 1;
    std::vector<std::uint8_t> raw;  // one capture as the module sends it

    // Takes the procedure's geometry and checks it with the module; false when the size
    // query failed or the module describes another geometry.
    bool querySize();
    // A zeroed 8-bit image of width x height bytes.
    Image makeImage() const;
    // Turns `raw` into `image`: 16-bit captures through the conversion, 8-bit ones copied.
    // False when the conversion cannot take the capture: the image is not shown then.
    [[nodiscard]] bool toEightBits(Image &image) const;
};

// The connect step of the one-call starts: connect, switch the device on (its result is
// not looked at), query the size and store width and height through the pointers (when
// given). 1, 2 when no module could be connected, or the size query's failing result.
ResultByte connectForProcedure(std::int32_t *width, std::int32_t *height);

}  // namespace fpm::procedure
