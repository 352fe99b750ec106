// The product's seam: the host's own devices and nothing else.
#include "platform/host_device.h"

namespace fpm::device {

bool enumerateInterfaces(const InterfaceVisitor &visit) { return host::enumerateInterfaces(visit); }

Handle open(const std::u16string &path) { return host::open(path); }

bool close(Handle handle) { return host::close(handle); }

std::uint32_t transferLimit(Handle handle) { return host::transferLimit(handle); }

const char *backendName() { return "host"; }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    return host::passThrough(handle, request);
}

}  // namespace fpm::device
