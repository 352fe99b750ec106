// Commands of the protocol itself: size queries, initialisation, firmware version and
// cancel.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::transport {

inline constexpr std::uint8_t kCmdInitializeDevice = 0x30;
inline constexpr std::uint8_t kCmdGetFirmwareVersion = 0x32;
inline constexpr std::uint8_t kCmdCancel = 0x33;
inline constexpr std::uint8_t kCmdQuerySize = 0x34;

inline constexpr std::int32_t kFirmwareRecordSize = 128;

// How a size query stores the module's answer in the library's geometry.
enum class SizeQueryKind : std::uint8_t {
    Plain,            // bytes per pixel from reply byte 4
    Force16,          // bytes per pixel 2
    WithHandle,       // bytes per pixel unchanged
    WithHandleDouble, // bytes per pixel unchanged, twice the width and height stored
};

// The module's answer to a size query: sides as sent, bytes per pixel 2 when reply byte 4
// says 2, else 1.
struct SizeAnswer {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bytesPerPixel = 1;
};
// A size query the library sends for its own purposes: the answer is stored nowhere.
ResultByte askSize(device::Handle handle, SizeAnswer &answer);

// The callers' size queries: the answer becomes the geometry every image read uses.
ResultByte querySize(device::Handle handle, SizeQueryKind kind, std::int32_t *width, std::int32_t *height,
                     std::uint8_t *bytesPerPixelOut = nullptr);
ResultByte initializeDevice(device::Handle handle);
ResultByte getFirmwareVersion(device::Handle handle, std::int32_t offset, std::int32_t length,
                              std::uint8_t *buffer);
// Sets the cancel request, wakes the sleeping waits and sends the cancel command.
ResultByte cancelCommand();

}  // namespace fpm::transport
