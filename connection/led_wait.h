// The end of a background procedure: the module's LEDs are set to "done" (state 3),
// retried every half second while the module refuses, at most ten times, and given up
// as soon as the module is closed.
#pragma once

#include <cstdint>

namespace fpm::connection {

// Blocks the calling (worker) thread; sleeps between attempts. `connection` is the
// handleReplacements() count of the module the procedure ran on: once the module is
// closed or another connect replaced it, the LEDs are left alone.
void runLedWait(std::uint32_t connection);
// The same for the module connected now.
void runLedWait();

}  // namespace fpm::connection
