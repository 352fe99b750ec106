// Module side backed by the virtual host: the build that tests and demos link. A tool
// can hand the host over to the real devices (VirtualHost::useHostDevices).
#include "platform/host_device.h"
#include "sim/virtual_host.h"

namespace fpm::device {

namespace {
bool real() { return sim::VirtualHost::instance().usesHostDevices(); }
}  // namespace

bool enumerateInterfaces(const InterfaceVisitor &visit)
{
    if (real()) return host::enumerateInterfaces(visit);
    auto paths = sim::VirtualHost::instance().listPaths();
    if (!paths) return false;
    for (const auto &path : *paths) {
        if (!visit(path)) break;
    }
    return true;
}

Handle open(const std::u16string &path)
{
    return real() ? host::open(path) : sim::VirtualHost::instance().openPath(path);
}

bool close(Handle handle) { return real() ? host::close(handle) : sim::VirtualHost::instance().closeHandle(handle); }

std::uint32_t transferLimit(Handle handle)
{
    return real() ? host::transferLimit(handle) : sim::VirtualHost::instance().transferLimit();
}

const char *backendName() { return real() ? "host" : "virtual module"; }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    return real() ? host::passThrough(handle, request) : sim::VirtualHost::instance().passThrough(handle, &request);
}

}  // namespace fpm::device
