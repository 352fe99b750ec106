// Verification against one finger index, the image of its capture, the finger-presence
// queries and the module's two verification timing values.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::finger {

inline constexpr std::uint8_t kCmdVerifyRequest = 0x20;
inline constexpr std::uint8_t kCmdCheckVerifyStatus = 0x21;
inline constexpr std::uint8_t kCmdGetVerifyImage = 0x22;
inline constexpr std::uint8_t kCmdGetVerifyPeriod = 0x69;
inline constexpr std::uint8_t kCmdGetFingerprint = 0x70;

// The verification and identification outcomes, as the module answers them and as the
// caller gets them.
inline constexpr std::uint8_t kStatusMatch = 5;
inline constexpr std::uint8_t kStatusNoMatch = 6;
inline constexpr ResultByte kMatch = kStatusMatch;
inline constexpr ResultByte kNoMatch = kStatusNoMatch;

// A module that answers no request at all for this long while a verification waits on it
// has gone; the wait then ends with 2.
inline constexpr std::uint32_t kVerifyFailureLimitMs = 30000;

ResultByte doVerifyRequest(device::Handle handle, std::uint8_t finger);
ResultByte getVerifyImage(device::Handle handle, std::uint8_t *buffer);
std::int32_t isFingerOn(device::Handle handle);
std::int32_t fingerStatus(device::Handle handle, std::uint8_t *fingerState);
ResultByte getVerifyPeriod(device::Handle handle, std::uint32_t *first, std::uint32_t *second);

}  // namespace fpm::finger
