// A clock that only moves when something waits on it: time-dependent code runs at full
// speed with exact, repeatable timing.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/system.h"

namespace fpm::test {

class FakeClock : public sys::TimeSource {
public:
    explicit FakeClock(std::uint64_t startMs = 1000) : now_(startMs) {}

    std::uint64_t nowMs() override { return now_.load(); }
    bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel) override;
    void wakeSleepers() override {}

    void advance(std::uint64_t ms) { now_ += ms; }
    int sleeps() const { return sleeps_.load(); }

    // Called on every sleep, before time moves (a test can cancel from here).
    void (*onSleep)(FakeClock &) = nullptr;

private:
    std::atomic<std::uint64_t> now_;
    std::atomic<int> sleeps_{0};
};

// Installs a fake clock for the scope of a test.
class ScopedFakeClock {
public:
    explicit ScopedFakeClock(std::uint64_t startMs = 1000) : clock(startMs) { sys::setTimeSource(&clock); }
    ~ScopedFakeClock() { sys::setTimeSource(nullptr); }
    FakeClock clock;
};

}  // namespace fpm::test
