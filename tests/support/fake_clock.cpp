#include "support/fake_clock.h"

namespace fpm::test {

bool FakeClock::sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    ++sleeps_;
    if (onSleep) onSleep(*this);
    if (cancel && cancel->load()) return false;
    std::uint64_t now = now_.load();
    while (now < deadlineMs && !now_.compare_exchange_weak(now, deadlineMs)) {
    }
    return true;
}

}  // namespace fpm::test
