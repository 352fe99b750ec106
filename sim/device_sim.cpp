// Module side backed by the virtual host: the build that tests and demos link.
#include "platform/device_io.h"
#include "sim/virtual_host.h"

namespace fpm::device {

std::optional<std::vector<std::u16string>> listInterfacePaths() { return sim::VirtualHost::instance().listPaths(); }

Handle open(const std::u16string &path) { return sim::VirtualHost::instance().openPath(path); }

bool close(Handle handle) { return sim::VirtualHost::instance().closeHandle(handle); }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    return sim::VirtualHost::instance().passThrough(handle, &request);
}

}  // namespace fpm::device
