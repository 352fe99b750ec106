// The host's devices on Linux: SCSI generic nodes (/dev/sgN). The disk nodes (/dev/sdX)
// do not serve: the kernel lets only processes with CAP_SYS_RAWIO send vendor opcodes
// through them.
#include <sys/ioctl.h>
#include <unistd.h>

#include <mutex>
#include <set>

#include "platform/host_device.h"
#include "platform/linux/scsi_generic.h"

namespace fpm::device::host {

namespace {

// File descriptors this backend opened: a handle is only ever turned back into a
// descriptor that is one of them, so a stale or foreign handle never reaches another
// file of the process.
// Never destroyed: a worker thread of the library may still close its handle while the
// process exits.
std::mutex &g_openMutex = *new std::mutex;
std::set<int> &g_open = *new std::set<int>;

Handle toHandle(int fd) { return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(fd) + 1); }

int toDescriptor(Handle handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || handle == invalidHandle() || value - 1 > static_cast<std::uintptr_t>(INT32_MAX)) return -1;
    const int fd = static_cast<int>(value - 1);
    std::lock_guard lock(g_openMutex);
    return g_open.count(fd) ? fd : -1;
}

}  // namespace

bool enumerateInterfaces(const InterfaceVisitor &visit)
{
    auto paths = sg::interfacePaths(sg::kSysfsClassRoot);
    if (!paths) return false;
    for (const auto &path : *paths) {
        if (!visit(path)) break;
    }
    return true;
}

Handle open(const std::u16string &path)
{
    auto node = sg::nodeName(path);
    if (!node) return invalidHandle();
    const int fd = sg::openNode(sg::kDeviceRoot / *node);
    if (fd < 0) return invalidHandle();
    std::lock_guard lock(g_openMutex);
    g_open.insert(fd);
    return toHandle(fd);
}

bool close(Handle handle)
{
    const int fd = toDescriptor(handle);
    if (fd < 0) return false;
    {
        std::lock_guard lock(g_openMutex);
        g_open.erase(fd);
    }
    return ::close(fd) == 0;
}

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    const int fd = toDescriptor(handle);
    if (fd < 0) return false;
    sg_io_hdr_t io = sg::sgIoRequest(request);
    if (::ioctl(fd, SG_IO, &io) != 0) return false;
    request.sptd.ScsiStatus = io.status;
    return sg::delivered(io);
}

}  // namespace fpm::device::host
