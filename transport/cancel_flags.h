// The two flags a cancel works with, and the only functions that change them.
//
// cancelRequested: raised by DoCancel (requestCancel), seen by the cancellable waits, and
// cleared by a command or procedure step that starts a new operation of its own
// (clearCancelRequest), or by the step that reports the cancel.
// commandInProgress: held at 1 by a command that DoCancel must wait for (InProgressMark).
//
// Both live in the one process-wide record (ConnectionState); readers may load them there.
#pragma once

#include <atomic>
#include <cstdint>

namespace fpm::transport {

// Raises cancelRequested and wakes every cancellable wait at once.
void requestCancel();

// Drops a pending cancel request.
void clearCancelRequest();

// Whether a cancel request is pending.
bool cancelRequested();

// The flags as the exchange's waits watch them.
const std::atomic<std::uint8_t> &cancelRequestFlag();
const std::atomic<std::uint8_t> &commandInProgressFlag();

// Holds commandInProgress at 1 from construction to destruction, for a command that
// makes several exchanges and must keep DoCancel waiting across all of them.
class InProgressMark {
public:
    explicit InProgressMark(bool active = true);
    ~InProgressMark();
    InProgressMark(const InProgressMark &) = delete;
    InProgressMark &operator=(const InProgressMark &) = delete;

private:
    bool active_;
};

}  // namespace fpm::transport
