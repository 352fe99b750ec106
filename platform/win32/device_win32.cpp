// Module side for Windows: SetupAPI lists the disk interfaces, CreateFileW opens one and
// DeviceIoControl carries the pass-through request.
#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "platform/device_io.h"

namespace fpm::device {

namespace {

// {53F56308-B6BF-11D0-94F2-00A0C91EFB8B}: the interface class under which the module's
// mass-storage disk presents itself (the headers call this value the CD-ROM class).
const GUID kModuleInterfaceClass = {0x53F56308, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

}  // namespace

std::optional<std::vector<std::u16string>> listInterfacePaths()
{
    HDEVINFO set = SetupDiGetClassDevsW(&kModuleInterfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::nullopt;

    std::vector<std::u16string> paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kModuleInterfaceClass, index, &interfaceData)) break;

        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            paths.emplace_back();
            continue;
        }
        // DWORD-aligned storage for the variable-length detail record.
        std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA deviceData{};
        deviceData.cbSize = sizeof deviceData;
        if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required, nullptr, &deviceData)) {
            paths.emplace_back(reinterpret_cast<const char16_t *>(detail->DevicePath));
        } else {
            paths.emplace_back();
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

Handle open(const std::u16string &path)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.c_str()), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool close(Handle handle) { return CloseHandle(handle) != 0; }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    DWORD returned = 0;
    return DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                           sizeof request, &returned, nullptr) != 0;
}

}  // namespace fpm::device
