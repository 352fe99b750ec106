// The two blocks the module keeps in its flash and the host reads or writes whole: the
// flash block of a caller-chosen size and the 62-byte product-information block, whose
// first two bytes hold the vendor code (low byte first).
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::vendor {

inline constexpr std::uint8_t kCmdFlashBlock = 0x66;
inline constexpr std::uint8_t kCmdProductInfo = 0x68;
inline constexpr std::uint16_t kProductInfoLength = 62;
inline constexpr std::uint8_t kReadBlock = 0;

// Reads `length` bytes of the block that `code` names into `buffer`, which is written
// only on success. One transfer, no busy polling, nothing logged. 1 done, 2 otherwise
// (also for a null buffer with a length, with nothing sent).
ResultByte readBlock(device::Handle handle, std::uint8_t code, std::uint16_t length, std::uint8_t *buffer);

// Writes `length` bytes of `buffer` with `operation` (not 0), then reads the module's
// status. Busy is a failure. 1 done, 2 otherwise (also for a null buffer with a length,
// with nothing sent).
ResultByte writeBlock(device::Handle handle, std::uint8_t code, std::uint8_t operation, std::uint16_t length,
                      const std::uint8_t *buffer);

// Operation 0 reads, any other writes (and is sent as it is).
ResultByte blockOperation(device::Handle handle, std::uint8_t code, std::uint8_t operation, std::uint16_t length,
                          std::uint8_t *buffer);

}  // namespace fpm::vendor
