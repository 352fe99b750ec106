// What the virtual module remembers of the device controls.
#pragma once

#include <cstdint>

namespace fpm::sim {

struct DeviceControlState {
    std::uint8_t ledState = 0;
    std::uint8_t deviceStatus = 0;
    bool inBootLoader = false;
    bool rfConnected = false;
};

}  // namespace fpm::sim
