// Connecting the plain functions to the module: one routine, whose variants differ in
// the patterns, the selection among matching interfaces and the tests of the opened
// module. Every connect ends with the defect-pixel map.
#pragma once

#include <cstdint>
#include <optional>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::connection {

enum class Selection : std::uint8_t {
    FirstMatch,  // the first matching interface; others are not looked at
    ExactlyOne,  // a second match fails the connect and closes a held module
};

enum class FirmwareTest : std::uint8_t {
    None,
    FixedFamilies,  // the family code is one of the build's four
    CallerCodes,    // the family code occurs in the caller's string
};

struct ConnectRequest {
    // The caller's vendor and product names, or the module's own tags.
    bool callerNames = false;
    const char16_t *vendor = nullptr;
    const char16_t *product = nullptr;
    Selection selection = Selection::ExactlyOne;
    FirmwareTest firmware = FirmwareTest::None;
    const char16_t *acceptedCodes = nullptr;     // CallerCodes
    std::optional<std::uint16_t> vendorCode;     // product-information vendor code to require
    ResultByte noDeviceListResult = kFailure;    // the host cannot list its devices
};

// Log paths, the "DeviceConnection" line, search, open, tests, defect-pixel map.
// 1 connected; 2 no module, bad arguments, open failed, rejected or the map failed;
// request.noDeviceListResult without a device list.
ResultByte connect(const ConnectRequest &request);

// The module's own tags, exactly one match, the build's firmware families.
ResultByte checkDeviceConnection();

// checkDeviceConnection, then the device switched on whatever it answers.
ResultByte openDevice();

// The device switched off (sent even without a handle), then the handle closed. 1 when
// a handle was closed.
ResultByte closeDevice();

// Prepares the log paths and writes the opening line of a search. False when the log
// paths cannot be held (the executable's folder is too long).
bool beginSearch(const char *line);

// Opens a path as the connect functions open the module (read-write, shared).
device::Handle openModule(const char16_t *path);

// The firmware family tests on bytes 9 and 10 of the firmware version record.
bool familyInBuildTable(std::uint8_t first, std::uint8_t second);
bool familyInCodes(std::uint8_t first, std::uint8_t second, const std::u16string &codes);

}  // namespace fpm::connection
