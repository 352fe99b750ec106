#include "transport/cancel_flags.h"

#include "connection/connection_state.h"
#include "platform/system.h"

namespace fpm::transport {

void requestCancel()
{
    state().cancelRequested.store(1);
    sys::wakeSleepers();
}

void clearCancelRequest() { state().cancelRequested.store(0); }

bool cancelRequested() { return state().cancelRequested.load() != 0; }

const std::atomic<std::uint8_t> &cancelRequestFlag() { return state().cancelRequested; }

const std::atomic<std::uint8_t> &commandInProgressFlag() { return state().commandInProgress; }

InProgressMark::InProgressMark(bool active) : active_(active)
{
    if (active_) state().commandInProgress.store(1);
}

InProgressMark::~InProgressMark()
{
    if (active_) state().commandInProgress.store(0);
}

}  // namespace fpm::transport
