#include "connection/module_handle.h"

#include "connection/connection_state.h"
#include "platform/system.h"

namespace fpm::connection {

namespace {
std::atomic<std::uint8_t> g_released{0};
}  // namespace

device::Handle connectedHandle() { return state().deviceHandle.load(); }

bool isOpen(device::Handle handle) { return handle && handle != device::invalidHandle(); }

std::atomic<std::uint8_t> &handleReleased() { return g_released; }

bool replaceHandle(device::Handle replacement)
{
    device::Handle previous = state().deviceHandle.exchange(replacement);
    // The invalid-handle value of a failed connect is no handle: nothing to close.
    const bool closed = isOpen(previous) && device::close(previous);
    if (!replacement) {
        g_released.store(1);
        sys::wakeSleepers();
    }
    return closed;
}

}  // namespace fpm::connection
