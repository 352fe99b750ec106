// Sensor register access and the WOE mode, one command row each. The module holds the
// registers and the mode; these only carry the bytes. Outputs are written on status 1
// only; status 2 gives 2 and any other status is passed on as the result. Busy replies
// are polled without an overall limit. No log lines, cancel flags untouched.
#pragma once

#include <cstdint>

#include "transport/command_row.h"

namespace fpm::factory {

inline constexpr std::uint8_t kCmdEnterWoe = 0x4A;
inline constexpr std::uint8_t kCmdExitWoe = 0x4B;
inline constexpr std::uint8_t kCmdReadWoeStatus = 0x4C;
inline constexpr std::uint8_t kCmdReadRegister = 0x50;
inline constexpr std::uint8_t kCmdWriteRegister = 0x51;

extern const transport::CommandRow kReadRegister;           // arguments: address, group; output: value
extern const transport::CommandRow kWriteRegister;          // arguments: address, value, group
extern const transport::CommandRow kWriteRegisterAsDefault; // arguments: address, value, group
extern const transport::CommandRow kEnterWoe;
extern const transport::CommandRow kExitWoe;
extern const transport::CommandRow kReadWoeStatus;          // outputs: the three status bytes

}  // namespace fpm::factory
