// The host's devices on Linux: SCSI generic nodes (/dev/sgN). The disk nodes (/dev/sdX)
// do not serve: the kernel lets only processes with CAP_SYS_RAWIO send vendor opcodes
// through them.
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/host_device.h"
#include "platform/linux/scsi_generic.h"
#include "platform/no_destroy.h"

namespace fpm::device::host {

namespace {

// File descriptors this backend opened, with the transfer limit of each node: a handle
// is only ever turned back into a descriptor that is one of them, so a stale or foreign
// handle never reaches another file of the process. Never destroyed: workers may still
// transfer while the process exits.
struct OpenNodes {
    std::mutex mutex;
    std::map<int, std::uint32_t> limits;
};

OpenNodes &openNodes()
{
    static NoDestroy<OpenNodes> nodes;
    return *nodes;
}

Handle toHandle(int fd) { return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(fd) + 1); }

// The descriptor behind a handle and its node's limit, or -1.
int toDescriptor(Handle handle, std::uint32_t *limit = nullptr)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || handle == invalidHandle() || value - 1 > static_cast<std::uintptr_t>(INT32_MAX)) return -1;
    const int fd = static_cast<int>(value - 1);
    OpenNodes &nodes = openNodes();
    std::lock_guard lock(nodes.mutex);
    auto it = nodes.limits.find(fd);
    if (it == nodes.limits.end()) return -1;
    if (limit) *limit = it->second;
    return fd;
}

bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
               return lower(x) == lower(y);
           });
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
    const auto folder = sg::kSysfsClassRoot / *node;
    // sg numbers are reused after a replug: an interface path kept from an earlier
    // enumeration must still describe what is behind the node now, or it opens another
    // device. Asked after the open, so that the answer is about this descriptor.
    if (!sg::isDevicePath(path)) {
        auto current = sg::interfacePath(folder);
        if (!current || !equalIgnoringAsciiCase(*current, path) || !sg::isNode(fd, folder)) {
            ::close(fd);
            return invalidHandle();
        }
    }
    const std::uint32_t limit = sg::transferLimit(folder);
    OpenNodes &nodes = openNodes();
    std::lock_guard lock(nodes.mutex);
    nodes.limits[fd] = limit;
    return toHandle(fd);
}

bool close(Handle handle)
{
    const int fd = toDescriptor(handle);
    if (fd < 0) return false;
    {
        OpenNodes &nodes = openNodes();
        std::lock_guard lock(nodes.mutex);
        nodes.limits.erase(fd);
    }
    return ::close(fd) == 0;
}

std::uint32_t transferLimit(Handle handle)
{
    std::uint32_t limit = 0;
    return toDescriptor(handle, &limit) < 0 ? 0 : limit;
}

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    const int fd = toDescriptor(handle);
    if (fd < 0) return false;
    sg_io_hdr_t io = sg::sgIoRequest(request);
    if (!sg::issue(fd, io)) return false;
    request.sptd.ScsiStatus = io.status;
    // As the Windows driver does: the record says how much of the data phase moved.
    const auto residual = static_cast<std::uint32_t>(io.resid < 0 ? 0 : io.resid);
    request.sptd.DataTransferLength -= std::min(residual, request.sptd.DataTransferLength);
    return sg::delivered(io);
}

}  // namespace fpm::device::host
