#include "connection/module_handle.h"

#include "connection/connection_state.h"
#include "platform/system.h"

namespace fpm::connection {

namespace {
std::atomic<std::uint8_t> g_released{0};
std::atomic<std::uint32_t> g_replacements{0};
}  // namespace

device::Handle connectedHandle() { return state().deviceHandle.load(); }

bool isOpen(device::Handle handle) { return handle && handle != device::invalidHandle(); }

std::atomic<std::uint8_t> &handleReleased() { return g_released; }

std::uint32_t handleReplacements() { return g_replacements.load(); }

bool replaceHandle(device::Handle replacement)
{
    device::Handle previous = state().deviceHandle.exchange(replacement);
    g_replacements.fetch_add(1);
    // The invalid-handle value of a failed connect is no handle: nothing to close.
    const bool closed = isOpen(previous) && device::close(previous);
    if (!replacement) {
        g_released.store(1);
        sys::wakeSleepers();
    }
    return closed;
}

}  // namespace fpm::connection
