#include "connection/connect.h"

#include <array>
#include <string_view>

#include "card/device_control.h"
#include "connection/connection_state.h"
#include "connection/device_search.h"
#include "connection/module_handle.h"
#include "image/defect_pixels.h"
#include "log/diagnostic_log.h"
#include "transport/little_endian.h"
#include "transport/protocol_commands.h"
#include "vendor/data_blocks.h"

#ifndef FPM_FIRMWARE_FAMILIES
#define FPM_FIRMWARE_FAMILIES "WAWBWCWD"
#endif

namespace fpm::connection {

namespace {

constexpr std::string_view kFamilies = FPM_FIRMWARE_FAMILIES;
static_assert(kFamilies.size() == 8, "four firmware family codes of two characters");

constexpr std::int32_t kFamilyOffset = 9;
constexpr std::int32_t kFirmwareBytesRead = 18;

bool firmwareAccepted(device::Handle handle, const ConnectRequest &request, const std::u16string &codes)
{
    if (request.firmware == FirmwareTest::None) return true;
    std::array<std::uint8_t, kFirmwareBytesRead> record{};
    if (transport::getFirmwareVersion(handle, 0, kFirmwareBytesRead, record.data()) != kSuccess) return false;
    const std::uint8_t first = record[kFamilyOffset], second = record[kFamilyOffset + 1];
    return request.firmware == FirmwareTest::FixedFamilies ? familyInBuildTable(first, second)
                                                           : familyInCodes(first, second, codes);
}

bool vendorCodeAccepted(device::Handle handle, const ConnectRequest &request)
{
    if (!request.vendorCode) return true;
    // The whole block, read as ProductInfoOperation reads it; the code is its first two
    // bytes, low byte first.
    std::array<std::uint8_t, vendor::kProductInfoLength> info{};
    if (vendor::readBlock(handle, vendor::kCmdProductInfo, vendor::kProductInfoLength, info.data()) != kSuccess)
        return false;
    const auto code = static_cast<std::uint16_t>(transport::littleEndian(info.data(), 2));
    return code == *request.vendorCode;
}

}  // namespace

bool familyInBuildTable(std::uint8_t first, std::uint8_t second)
{
    for (std::size_t i = 0; i < kFamilies.size(); i += 2) {
        if (first == static_cast<std::uint8_t>(kFamilies[i]) && second == static_cast<std::uint8_t>(kFamilies[i + 1]))
            return true;
    }
    return false;
}

bool familyInCodes(std::uint8_t first, std::uint8_t second, const std::u16string &codes)
{
    // Both characters are looked for: a zero byte would otherwise shorten the code to
    // one character or none, and an empty code would be found in every string.
    const char16_t family[2] = {first, second};
    return codes.find(std::u16string_view(family, 2)) != std::u16string::npos;
}

bool beginSearch(const char *line)
{
    if (!log::preparePaths()) return false;
    log::writeLine(line);
    return true;
}

device::Handle openModule(const char16_t *path) { return device::open(path); }

ResultByte connect(const ConnectRequest &request)
{
    if (!beginSearch("DeviceConnection")) return kFailure;

    std::optional<Patterns> patterns =
        request.callerNames ? callerPatterns(request.vendor, request.product) : std::optional(modulePatterns());
    if (!patterns) return kFailure;
    std::u16string codes;
    if (request.firmware == FirmwareTest::CallerCodes) {
        auto text = callerString(request.acceptedCodes, std::u16string::npos - 1);
        if (!text) return kFailure;
        codes = std::move(*text);
    }

    std::size_t found = 0;
    std::u16string path;
    const bool listed = findInterfaces(*patterns, [&](const std::u16string &match) {
        if (found++ == 0) path = match;
        return request.selection == Selection::ExactlyOne;
    });
    if (!listed) return request.noDeviceListResult;
    if (found == 0) return kFailure;  // the held module, if any, stays as it is
    if (found > 1) {
        replaceHandle(nullptr);
        return kFailure;
    }

    replaceHandle(nullptr);
    device::Handle handle = openModule(path.c_str());
    replaceHandle(handle);  // the previous one is already closed
    if (handle == device::invalidHandle()) return kFailure;

    if (!firmwareAccepted(handle, request, codes) || !vendorCodeAccepted(handle, request)) {
        replaceHandle(device::invalidHandle());
        return kFailure;
    }
    // A failed map leaves the module open: the caller may still use it.
    return image::buildDefectPixelMap() < 0 ? kFailure : kSuccess;
}

ResultByte checkDeviceConnection()
{
    return connect({.selection = Selection::ExactlyOne, .firmware = FirmwareTest::FixedFamilies});
}

ResultByte openDevice()
{
    if (checkDeviceConnection() != kSuccess) return kFailure;
    card::setDeviceStatus(1);  // the module is usable whatever it answers
    return kSuccess;
}

ResultByte closeDevice()
{
    card::setDeviceStatus(0);
    return replaceHandle(nullptr) ? 1 : 0;
}

}  // namespace fpm::connection
