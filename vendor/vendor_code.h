// The vendor code the module holds: the short 16-bit code and the long 8-byte code, read
// and written in plain with the vendor-code command.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::vendor {

inline constexpr std::uint8_t kCmdVendorCode = 0x60;

inline constexpr std::uint8_t kReadShortCode = 0x00;
inline constexpr std::uint8_t kWriteShortCode = 0x01;
inline constexpr std::uint8_t kReadLongCode = 0x80;
inline constexpr std::uint8_t kWriteLongCode = 0x81;

inline constexpr std::uint32_t kLongCodeLength = 8;

// A module that stays busy longer than this is given up on (result 2): writing a code
// into its flash takes a small fraction of it.
inline constexpr std::uint32_t kVendorCodeBusyLimitMs = 10000;

// Results of both operations: 1 on CODE_OK, 6 on status 6 or CODE_UNKNOWN_CMD, 2 on a
// failed transfer, a reply to another command or a module busy for too long, and any
// other status as it came.

// Reads (0x00) or writes (0x01) the short code, high byte first on the wire. Any other
// operation goes out as it is and copies nothing. A null code for a read or a write
// gives 2 with nothing sent.
ResultByte shortCodeOperation(device::Handle handle, std::uint8_t operation, std::uint16_t *code,
                              std::uint8_t writeParameter);

// Reads (0x80) or writes (0x81) the 8 bytes of the long code, in their order. Any other
// operation goes out as it is and copies nothing. A null code for a read or a write
// gives 2 with nothing sent.
ResultByte longCodeOperation(device::Handle handle, std::uint8_t operation, std::uint8_t *code);

// Writes the first `count` bytes (1 to 8) of `code` as the long code, the remaining ones
// zero. 0 written; -1 count out of range; -2 null code; -3 the module did not take it.
std::int32_t writeVendorCode(const std::uint8_t *code, std::int32_t count);

}  // namespace fpm::vendor
