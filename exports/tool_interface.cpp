#include "exports/tool_interface.h"

#include "connection/connection_state.h"
#include "connection/module_handle.h"
#include "log/diagnostic_log.h"
#include "worker/procedure_worker.h"

namespace fpm::tool {

FPM_HANDLE connectedHandle() { return connection::connectedHandle(); }

std::u16string connectedPath() { return state().devicePath.load(); }

std::size_t defectPixelCount() { return state().defectPixelCount(); }

std::int64_t imageByteCount() { return state().geometry().bytes(); }

std::uint32_t transferLimit() { return device::transferLimit(connection::connectedHandle()); }


bool proceduresRunning() { return procedure::activeWorkers() != 0; }

std::u16string logFolder() { return log::preparePaths() ? log::paths().logFolder : std::u16string(); }

}  // namespace fpm::tool
