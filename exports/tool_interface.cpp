#include "exports/tool_interface.h"

#include "connection/connection_state.h"
#include "connection/module_handle.h"

namespace fpm::tool {

FPM_HANDLE connectedHandle() { return connection::connectedHandle(); }

std::u16string connectedPath() { return state().devicePath; }

std::size_t defectPixelCount() { return state().defectPixels.size(); }

void useHandle(FPM_HANDLE handle) { connection::replaceHandle(handle); }

}  // namespace fpm::tool
