// The module's enrolment, verification and identification commands: what it holds per
// finger index, which finger lies on the sensor, and how long it keeps a capture busy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/virtual_module.h"

namespace fpm::sim {

struct FingerModel {
    // Captures enrolled per finger index.
    std::array<std::uint8_t, 256> enrolled{};
    // The finger on the sensor, named by the index it was (or is being) enrolled under;
    // none: the sensor is empty and nothing matches.
    std::optional<std::uint8_t> fingerOnSensor = 1;
    bool fakeFinger = false;  // captures are rejected as not genuine
    int busyPolls = 2;        // busy answers to each status poll before its answer
    std::uint32_t verifyPeriod[2] = {180, 420};

    // Module-side state of the running command.
    std::optional<std::uint8_t> enrolling;  // finger index of the started capture
    int busyLeft = 0;
};

}  // namespace fpm::sim
