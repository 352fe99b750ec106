// Enrolment one step at a time: the amount the module holds for a finger, one capture
// request, its outcome, its image, and the number of captures a finger takes.
#pragma once

#include <cstdint>

#include "connection/connection_state.h"
#include "connection/result.h"
#include "platform/device_io.h"
#include "transport/exchange.h"

namespace fpm::finger {

inline constexpr std::uint8_t kCmdEnrollRequest = 0x10;
inline constexpr std::uint8_t kCmdCheckEnrollStatus = 0x11;
inline constexpr std::uint8_t kCmdGetEnrollImage = 0x12;
inline constexpr std::uint8_t kCmdQueryEnrollAmount = 0x13;

inline constexpr ResultByte kFakeFinger = transport::kStatusFakeFinger;
inline constexpr ResultByte kCanceled = 8;

ResultByte queryEnrollAmount(device::Handle handle, std::uint8_t finger, std::int32_t *amount);
ResultByte doEnrollRequest(device::Handle handle, std::uint8_t finger);
ResultByte checkEnrollStatus(device::Handle handle);
ResultByte getEnrollImage(device::Handle handle, std::uint8_t *buffer);
// The same with the geometry a procedure took when it started.
ResultByte getEnrollImage(device::Handle handle, std::uint8_t *buffer, const Geometry &geometry);
ResultByte maxEnrollPerFinger(device::Handle handle, std::uint8_t *count);

}  // namespace fpm::finger
