// Test mode and the module's built-in hardware checks, one command row each. None of
// them writes a log line. Busy replies are polled without an overall limit: the checks
// run as long as the module says they are running.
#pragma once

#include <cstdint>

#include "transport/command_row.h"

namespace fpm::factory {

inline constexpr std::uint8_t kCmdGetG55Status = 0x40;
inline constexpr std::uint8_t kCmdGetIcType = 0x41;
inline constexpr std::uint8_t kCmdSensorIoCheck = 0x42;
inline constexpr std::uint8_t kCmdModuleIoCheck = 0x43;
inline constexpr std::uint8_t kCmdEnterTestMode = 0x4D;
inline constexpr std::uint8_t kCmdExitTestMode = 0x4E;
inline constexpr std::uint8_t kCmdAcfBondingIoCheck = 0x54;
inline constexpr std::uint8_t kCmdCheckCtModule = 0x63;

// A hardware check that ran and failed: the module's status and the caller's result.
inline constexpr std::uint8_t kStatusCheckFailed = 6;

// The IC type query succeeds with 5, not 1: station software tests for 5.
inline constexpr ResultByte kIcTypeResult = 5;
// How long the ACF status queries keep being sent while every transfer fails.
inline constexpr std::uint32_t kAcfFailureLimitMs = 30000;

extern const transport::CommandRow kEnterTestMode;
extern const transport::CommandRow kExitTestMode;
extern const transport::CommandRow kGetG55Status;   // the status is the answer
extern const transport::CommandRow kGetIcType;      // outputs: first, second (16-bit), third
extern const transport::CommandRow kSensorIoCheck;  // output: detail
extern const transport::CommandRow kModuleIoCheck;  // output: detail
extern const transport::CommandRow kCheckCtModule;  // output: value

// Starts the ACF bonding check once (no busy polling), then queries its status on each
// tick until it passes (1) or fails (2). Clears the cancel request first. Failed status
// queries are retried, up to kAcfFailureLimitMs of failures in a row.
ResultByte acfBondingIoCheck(device::Handle handle);

}  // namespace fpm::factory
