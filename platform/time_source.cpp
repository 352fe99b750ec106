// Routes the clock and the wait to the host's backend, or to a test's replacement.
#include <atomic>

#include "platform/system.h"
#include "platform/system_backend.h"

namespace fpm::sys {

namespace {
std::atomic<TimeSource *> g_override{nullptr};
}

void setTimeSource(TimeSource *source) { g_override.store(source); }

std::uint64_t nowMs()
{
    TimeSource *o = g_override.load();
    return o ? o->nowMs() : backend::nowMs();
}

bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    TimeSource *o = g_override.load();
    return o ? o->sleepUntil(deadlineMs, cancel) : backend::sleepUntil(deadlineMs, cancel);
}

void wakeSleepers()
{
    TimeSource *o = g_override.load();
    if (o) o->wakeSleepers();
    backend::wakeSleepers();
}

}  // namespace fpm::sys
