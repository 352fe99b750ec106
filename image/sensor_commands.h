// Baseline, calibration and sensing commands: one command row each, the module's status
// handed to the caller as the result. None writes a log line or touches the cancel flags.
#pragma once

#include <cstdint>

#include "transport/command_row.h"

namespace fpm::image {

// Arguments and outputs of runRow(), in order.
extern const transport::CommandRow kEnterSensingMode;
extern const transport::CommandRow kGetCurrentData;   // output: the 5-byte record (status 1)
// Arguments: the three 16-bit parameters as low and high bytes. Outputs: the two 16-bit
// values (optional, stored from every echoed reply), the status-6 byte (status 6).
extern const transport::CommandRow kDoCalibration;
extern const transport::CommandRow kOutputDac;        // output: the DAC byte (status 1)
extern const transport::CommandRow kUpdateBaseImage;
extern const transport::CommandRow kGetVcb;           // output: the VCB byte (every echoed reply)
extern const transport::CommandRow kSetVcb;           // argument: the value, low byte sent
extern const transport::CommandRow kAutoTest;         // output: the test's byte (status 6)

// Status 6 of calibration and self test: the module's answer carries a detail byte.
inline constexpr std::uint8_t kStatusWithDetail = 6;

}  // namespace fpm::image
