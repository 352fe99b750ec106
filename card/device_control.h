// The one-command device controls: LEDs, device status, boot-loader switch and RF
// connection. Each polls while the module is busy, with no overall limit, and leaves the
// cancel flags alone.
#pragma once

#include <cstdint>

#include "transport/command_row.h"

namespace fpm::card {

inline constexpr std::uint8_t kCmdSetLeds = 0x3D;
inline constexpr std::uint8_t kCmdSetDevStatus = 0x3E;
inline constexpr std::uint8_t kCmdSwitchToBoot = 0x52;
inline constexpr std::uint8_t kCmdRfConnection = 0x53;

// Argument: the LED state, low byte sent.
extern const transport::CommandRow kSetLeds;
// Argument: the device status, low byte sent (1 on opening the module, 0 before closing it).
extern const transport::CommandRow kSetDevStatus;
extern const transport::CommandRow kSwitchToBoot;
extern const transport::CommandRow kRfConnection;

// The LED state and the device status, as the exports and the library's own steps send them.
ResultByte setLeds(device::Handle handle, std::int32_t ledState);
ResultByte setDeviceStatus(std::int32_t deviceStatus);  // on the connected module

}  // namespace fpm::card
