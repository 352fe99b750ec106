// The one pass-through transfer that every command of the library uses.
#pragma once

#include <cstdint>

#include "platform/device_io.h"
#include "platform/pass_through_request.h"

namespace fpm::transport {

enum class Direction : std::uint8_t { ToModule = kDataOut, FromModule = kDataIn };

// The largest data phase the library moves: an image of twice 255 x 255 pixels at two
// bytes each. The exported transfers refuse longer ones, which only a wrong length
// (a negative number, say) can ask for.
inline constexpr std::uint32_t kMaxDataBytes = 510 * 510 * 2;

// The record of one transfer: zeroed (padding included), then filled with the block,
// direction, buffer, length and time-out.
void fillRequest(PassThroughRequest &request, const std::uint8_t *block16, Direction direction, void *buffer,
                 std::uint32_t length, std::uint32_t timeoutSeconds);

// Builds the record for one transfer and hands it to the device backend. Length and time-out go through unchanged. True on success.
bool transfer(device::Handle handle, const VendorCommandBlock &block, Direction direction, void *buffer,
              std::uint32_t length, std::uint32_t timeoutSeconds);

// Same, from a caller's raw 16-byte block (the exported transfers).
bool transfer(device::Handle handle, const std::uint8_t *block16, Direction direction, void *buffer,
              std::uint32_t length, std::uint32_t timeoutSeconds);

}  // namespace fpm::transport
