// What the virtual module holds for a factory test station: test mode, its IC type and
// check results, the ACF check in progress, the sensor registers and the WOE mode.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>

namespace fpm::sim {

struct FactoryState {
    bool testMode = false;
    std::array<std::uint8_t, 3> icType{0x35, 0x10, 0x01};  // first, second, third (0 to 3)
    std::uint8_t sensorIoDetail = 0x00;                     // 0: every line passed
    std::uint8_t moduleIoDetail = 0x00;
    std::uint8_t ctValue = 0x08;
    int acfQueriesBeforeDone = 2;                           // "still running" answers per check
    int acfRunning = -1;                                    // -1: no check started

    // Sensor registers by (group, address); an address never written reads its default.
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint8_t> registers;
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint8_t> defaults;

    bool woeMode = false;
    std::uint8_t woeThreshold = 0x20;
    std::uint8_t woeWakeCount = 0;
};

}  // namespace fpm::sim
