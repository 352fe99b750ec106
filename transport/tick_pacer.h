// Paces repeated sends on the 100 ms ticks of the process clock, counted from the
// start of a command: at most one send per tick, the next on the first tick after the
// tick of the last send. Waiting sleeps; a cancel flag cuts it short.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/system.h"

namespace fpm::transport {

inline constexpr std::uint64_t kTickMs = 100;

class TickPacer {
public:
    TickPacer() : start_(sys::nowMs()) {}

    // Notes the tick of a send (or of a test of a condition that is then waited on).
    void markTick()
    {
        lastTick_ = (sys::nowMs() - start_) / kTickMs;
        marked_ = true;
    }

    // Sleeps until the tick after the last marked one (no wait before the first mark).
    // False when `cancel` became set before that tick came.
    bool waitNextTick(const std::atomic<std::uint8_t> *cancel = nullptr) const
    {
        if (marked_ && !sys::sleepUntil(start_ + (lastTick_ + 1) * kTickMs, cancel)) return false;
        return !(cancel && cancel->load());
    }

    std::uint64_t elapsedMs() const { return sys::nowMs() - start_; }

private:
    std::uint64_t start_;
    std::uint64_t lastTick_ = 0;
    bool marked_ = false;
};

}  // namespace fpm::transport
