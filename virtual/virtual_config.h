// The configuration of the virtual drop-in library: the text of the file named by
// FPMODULE_VIRTUAL_CONFIG, read into the virtual module that the library then drives.
// docs/virtual-library.md describes the keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/virtual_host.h"

namespace fpm::dropin {

// One finger placed on the sensor: an enrolled index, nothing, or a fake finger.
struct Placement {
    enum class Kind { Finger, None, Fake } kind = Kind::Finger;
    std::uint8_t index = 0;
};

struct VirtualConfig {
    int modules = 1;
    bool deviceListUnavailable = false;
    int width = 120;
    int height = 100;
    int bytesPerPixel = 1;
    std::optional<std::string> firmware;
    std::optional<std::pair<char, char>> family;
    std::optional<std::uint16_t> vendorCode;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> enrolled;  // finger index, captures
    std::vector<Placement> fingers;  // one per capture request; the last one stays
    std::optional<int> busyTicks;
    std::uint64_t unplugAfter = 0;   // 0: never
    bool cardIssued = false;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> statuses;  // command code, status
    std::optional<std::string> replay;  // a trace whose answers the module gives, in order
};

// Reads the configuration text. The error names the line and what is wrong with it.
struct ParseResult {
    VirtualConfig config;
    std::string error;  // empty when the text was read whole
};
ParseResult parseConfig(const std::string &text);

// Rebuilds the host's disks from the configuration (after VirtualHost::reset()).
void applyConfig(const VirtualConfig &config, sim::VirtualHost &host);

// The path of the n-th module disk (0-based); module 0 is the usual module path.
std::u16string modulePath(int n);

}  // namespace fpm::dropin
