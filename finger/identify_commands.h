// Identification against every enrolled finger, of a fresh capture or of an image the
// caller uploads, and the image of the identification capture.
#pragma once

#include <cstdint>

#include "connection/connection_state.h"
#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::finger {

inline constexpr std::uint8_t kCmdIdentifyRequest = 0x23;
inline constexpr std::uint8_t kCmdGetIdentifyImage = 0x24;
inline constexpr std::uint8_t kCmdCheckIdentifyStatus = 0x35;

// 5 with the matching finger index in *finger, 6 no match, 8 cancelled, 2 failure.
ResultByte doIdentifyRequest(device::Handle handle, std::uint8_t *finger);
// The same for `image` (the stored geometry's size), uploaded before the outcome is
// asked; an upload result other than 1 is returned as it is.
ResultByte doIdentifyRequestEx(device::Handle handle, std::uint8_t *finger, const std::uint8_t *image);
ResultByte getIdentifyImage(device::Handle handle, std::uint8_t *buffer);
// The same with the geometry a procedure took when it started.
ResultByte getIdentifyImage(device::Handle handle, std::uint8_t *buffer, const Geometry &geometry);

}  // namespace fpm::finger
