// Finding, connecting, opening and closing the module; paths and handles for the
// WithHandle functions.
#include <algorithm>

#include "connection/connect.h"
#include "connection/connection_state.h"
#include "connection/device_search.h"
#include "connection/module_handle.h"
#include "exports/export.h"

using namespace fpm::connection;
using fpm::ResultByte;

namespace {

const char16_t *utf16(const FPM_WCHAR *text) { return reinterpret_cast<const char16_t *>(text); }

constexpr ResultByte kNoDeviceList = 0;

}  // namespace

FPM_EXPORT FPM_RESULT FPM_CALL DeviceConnection(const FPM_WCHAR *vendor, const FPM_WCHAR *product)
{
    FPM_TRACED;
    return connect({.callerNames = true,
                    .vendor = utf16(vendor),
                    .product = utf16(product),
                    .selection = Selection::FirstMatch,
                    .noDeviceListResult = kNoDeviceList});
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckDeviceConnection(void) { FPM_TRACED; return checkDeviceConnection(); }

FPM_EXPORT FPM_RESULT FPM_CALL CheckDeviceConnectionNoFwCheck(void)
{
    FPM_TRACED;
    return connect({.selection = Selection::ExactlyOne, .firmware = FirmwareTest::None});
}

FPM_EXPORT FPM_RESULT FPM_CALL CheckDeviceConnectionWithFirmwareVer(const FPM_WCHAR *acceptedCodes)
{
    FPM_TRACED;
    return connect({.selection = Selection::ExactlyOne,
                    .firmware = FirmwareTest::CallerCodes,
                    .acceptedCodes = utf16(acceptedCodes)});
}

FPM_EXPORT FPM_RESULT FPM_CALL GetDevConnectionByVendorCode(uint32_t vendorCode)
{
    FPM_TRACED;
    ConnectRequest request{.selection = Selection::ExactlyOne, .firmware = FirmwareTest::FixedFamilies};
    request.vendorCode = static_cast<std::uint16_t>(vendorCode & 0xFFFF);
    return connect(request);
}

FPM_EXPORT FPM_RESULT FPM_CALL OpenDevice(void) { FPM_TRACED; return openDevice(); }

FPM_EXPORT FPM_RESULT FPM_CALL CloseDevice(void) { FPM_TRACED; return closeDevice(); }

FPM_EXPORT FPM_RESULT FPM_CALL DeviceDisConnection(void) { FPM_TRACED; return replaceHandle(nullptr) ? 1 : 0; }

FPM_EXPORT FPM_RESULT FPM_CALL ExtractDevicePath(const FPM_WCHAR *vendor, const FPM_WCHAR *product,
                                                 FPM_WCHAR **paths, int32_t maxCount, int32_t *foundCount)
{
    FPM_TRACED;
    if (!beginSearch("ExtractSpecificDevice")) return fpm::kFailure;
    auto patterns = callerPatterns(utf16(vendor), utf16(product));
    if (!patterns || !paths || !foundCount) return fpm::kFailure;

    std::int32_t copied = 0;
    bool nullBuffer = false;
    const bool listed = findInterfaces(
        *patterns,
        [&](const std::u16string &path) {
            FPM_WCHAR *out = paths[copied];
            if (!out) {
                nullBuffer = true;
                return false;
            }
            // The whole buffer is written: the path, then zeros.
            std::fill(std::copy(path.begin(), path.end(), out), out + fpm::kPathCapacity, FPM_WCHAR{0});
            *foundCount = ++copied;
            return true;
        },
        maxCount < 1 ? 0 : static_cast<std::size_t>(maxCount));
    if (!listed) return kNoDeviceList;
    if (maxCount < 1 || nullBuffer) return fpm::kFailure;
    return copied > 0 ? fpm::kSuccess : fpm::kFailure;
}

FPM_EXPORT FPM_RESULT FPM_CALL ObtainHandleFromPath(FPM_HANDLE *handle, const FPM_WCHAR *path)
{
    FPM_TRACED;
    if (!handle || !path) return fpm::kFailure;
    fpm::device::Handle opened = openModule(utf16(path));
    if (!isOpen(opened)) return fpm::kFailure;
    *handle = opened;
    return fpm::kSuccess;
}

#ifndef _WIN32
FPM_EXPORT FPM_RESULT FPM_CALL CloseObtainedHandle(FPM_HANDLE handle)
{
    FPM_TRACED;
    // The connection's own handle is closed by CloseDevice or DeviceDisConnection only:
    // closed here, its descriptor number could come back as another file.
    if (!isOpen(handle) || handle == connectedHandle()) return fpm::kFailure;
    return fpm::device::close(handle) ? fpm::kSuccess : fpm::kFailure;
}
#endif
