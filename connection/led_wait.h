// The end of a background procedure: the module's LEDs are set to "done" (state 3),
// retried every half second while the module refuses, at most ten times, and given up
// as soon as the module is closed.
#pragma once

namespace fpm::connection {

// Blocks the calling (worker) thread; sleeps between attempts.
void runLedWait();

}  // namespace fpm::connection
