// Baseline, calibration and sensing commands that are one exchange each and hand the
// module's status to the caller as the result.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::image {

// Which replies copy a value to the caller.
enum class StoreWhen : std::uint8_t { AnyReply, StatusOk, Status6 };

// Reply bytes [from, from + size) to one caller pointer; size 2 is a 16-bit value, low
// byte first; size 0 ends the list.
struct ReplyStore {
    StoreWhen when = StoreWhen::AnyReply;
    std::uint8_t from = 0;
    std::uint8_t size = 0;
    bool optional = false;  // a caller may pass no pointer for it
};

struct SensorCommand {
    std::uint8_t code;
    std::uint8_t phase;  // command block byte 2
    std::uint32_t timeoutSeconds;
    std::array<ReplyStore, 3> stores{};
};

extern const SensorCommand kEnterSensingMode;
extern const SensorCommand kGetCurrentData;
extern const SensorCommand kDoCalibration;
extern const SensorCommand kOutputDac;
extern const SensorCommand kUpdateBaseImage;
extern const SensorCommand kGetVcb;
extern const SensorCommand kSetVcb;
extern const SensorCommand kAutoTest;

// Sends the command with `parameters` in block bytes 3 on, polls while busy, and stores
// the reply values into `outputs` (one per store, in order). Result: the reply's status,
// or 2 for a failed transfer or a wrong echo; a missing output that is not optional gives
// 2 with nothing sent.
ResultByte runSensorCommand(const SensorCommand &command, device::Handle handle,
                            std::initializer_list<std::uint8_t> parameters = {},
                            std::initializer_list<void *> outputs = {});

}  // namespace fpm::image
