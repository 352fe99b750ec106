// The connection's module handle: the one place that replaces it, so that closing
// and the wake-up of a waiting LED wait never drift apart.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/device_io.h"

namespace fpm::connection {

// The handle of the plain functions (those without a handle argument).
device::Handle connectedHandle();

// A handle that was opened: neither null nor the invalid-handle value.
bool isOpen(device::Handle handle);

// Puts `replacement` in place of deviceHandle and closes the previous handle if it was
// open. True when a handle was closed and the close succeeded.
bool replaceHandle(device::Handle replacement);

// Set each time the handle is replaced by null (and sleepers woken): a wait that must
// end when the module is closed sleeps on it. The waiter clears it before it looks at
// the handle.
std::atomic<std::uint8_t> &handleReleased();

// Counts every replacement of the handle (a close, a connect): a wait tied to the module
// it started on ends when this changes, and never reaches a module connected later.
std::uint32_t handleReplacements();

}  // namespace fpm::connection
