// What each host backend provides behind the replaceable clock of system.h.
#pragma once

#include <atomic>
#include <cstdint>

namespace fpm::sys::backend {

std::uint64_t nowMs();
bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel);
void wakeSleepers();

}  // namespace fpm::sys::backend
