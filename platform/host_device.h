// The host's own devices (SetupAPI and DeviceIoControl on Windows, SCSI generic nodes on
// Linux), under their own names so that a build can hold them beside another backend:
// the product forwards the seam of device_io.h to them; the virtual module's build
// forwards to them only when a tool asks for the real module.
#pragma once

#include "platform/device_io.h"

namespace fpm::device::host {

bool enumerateInterfaces(const InterfaceVisitor &visit);
Handle open(const std::u16string &path);
bool close(Handle handle);
std::uint32_t transferLimit(Handle handle);
bool passThrough(Handle handle, transport::PassThroughRequest &request);

}  // namespace fpm::device::host
