#include "connection/led_wait.h"

#include <cstdint>

#include "card/device_control.h"
#include "connection/connection_state.h"
#include "connection/module_handle.h"
#include "connection/result.h"
#include "fpmodule.h"
#include "platform/system.h"

namespace fpm::connection {

namespace {
constexpr std::uint64_t kStepMs = 500;
constexpr std::int32_t kMaxAttempts = 10;
constexpr std::int32_t kLedsDone = 3;
}  // namespace

void runLedWait() { runLedWait(handleReplacements()); }

void runLedWait(std::uint32_t connection)
{
    ConnectionState &s = state();
    std::atomic<std::uint8_t> &released = handleReleased();
    // Counted here, not in the shared state: two procedures may end at the same time.
    std::int32_t attempts = 0;
    const std::uint64_t start = sys::nowMs();
    std::uint64_t lastStep = 0;
    for (;;) {
        // Cleared before the handle is read: a close after this point wakes the sleep.
        released.store(0);
        if (!s.deviceHandle.load() || handleReplacements() != connection) return;
        const std::uint64_t step = (sys::nowMs() - start) / kStepMs;
        if (step != lastStep) {
            lastStep = step;
            if (attempts >= kMaxAttempts) return;
            if (card::setLeds(connectedHandle(), kLedsDone) == kSuccess) return;
            ++attempts;
            continue;
        }
        sys::sleepUntil(start + (step + 1) * kStepMs, &released);
    }
}

}  // namespace fpm::connection
