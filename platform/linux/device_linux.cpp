// Module side for Linux. Until the SCSI generic backend lands, the host reports no
// device list, so every connect attempt reports "no module" without touching anything.
#include "platform/device_io.h"

namespace fpm::device {

std::optional<std::vector<std::u16string>> listInterfacePaths() { return std::nullopt; }

Handle open(const std::u16string &) { return invalidHandle(); }

bool close(Handle) { return false; }

bool passThrough(Handle, transport::PassThroughRequest &) { return false; }

}  // namespace fpm::device
