// The host's devices on Windows: SetupAPI lists the module's interface class,
// CreateFileW opens one and DeviceIoControl carries the pass-through request.
#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "platform/host_device.h"

namespace fpm::device::host {

namespace {

// {53F56308-B6BF-11D0-94F2-00A0C91EFB8B}: the CD-ROM device interface class. The
// module's mass-storage unit presents itself as a CD-ROM-type device, so its interface
// paths read "usbstor#cdrom&ven_...&prod_..." under this class (the disk class, 53F56307,
// does not list it).
const GUID kCdromInterfaceClass = {0x53F56308, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// The record sizes SetupAPI checks in cbSize: a wrong one fails every call. A 64-bit
// SetupAPI refuses the 32-bit sizes, so each build takes its own.
#ifdef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32);
static_assert(sizeof(SP_DEVINFO_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8);
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28);
static_assert(sizeof(SP_DEVINFO_DATA) == 28);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6);
#endif

// The device information set, released on every path out of the enumeration.
class DeviceInfoSet {
public:
    DeviceInfoSet()
        : set_(SetupDiGetClassDevsW(&kCdromInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
    {
    }
    ~DeviceInfoSet()
    {
        if (valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet &) = delete;
    DeviceInfoSet &operator=(const DeviceInfoSet &) = delete;

    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

// The path of one interface; empty when its detail record cannot be read.
std::u16string interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA &interfaceData)
{
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};

    // DWORD-aligned storage for the variable-length record.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA deviceData{};
    deviceData.cbSize = sizeof deviceData;
    if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required, nullptr, &deviceData)) return {};

    // The path ends at its zero or at the end of what SetupAPI wrote, whichever is first.
    const auto *text = reinterpret_cast<const char16_t *>(detail->DevicePath);
    const std::size_t room = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(char16_t);
    std::size_t length = 0;
    while (length < room && text[length]) ++length;
    return std::u16string(text, length);
}

}  // namespace

bool enumerateInterfaces(const InterfaceVisitor &visit)
{
    DeviceInfoSet set;
    if (!set.valid()) return false;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kCdromInterfaceClass, index, &interfaceData)) break;
        if (!visit(interfacePath(set.get(), interfaceData))) break;
    }
    return true;
}

Handle open(const std::u16string &path)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.c_str()), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool close(Handle handle) { return CloseHandle(handle) != 0; }

// The storage stack splits or refuses large requests itself and names no limit up front.
std::uint32_t transferLimit(Handle) { return 0; }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    DWORD returned = 0;
    return DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                           sizeof request, &returned, nullptr) != 0;
}

}  // namespace fpm::device::host
