// Deleting what the module holds enrolled for a finger index, or for all of them, on
// the caller's thread or as a background procedure that reports to a callback.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "fpmodule.h"
#include "transport/command_row.h"

namespace fpm::finger {

inline constexpr std::uint8_t kCmdDeleteFinger = 0x14;
// The finger index that stands for every slot; the slots are deleted one by one.
inline constexpr std::uint8_t kAllFingers = 0xFF;
inline constexpr std::uint8_t kFirstSlot = 1;
inline constexpr std::uint8_t kLastSlot = 5;
// A start call refused because a procedure of its kind still runs.
inline constexpr ResultByte kProcedureRunning = 16;
// The start calls' result when they did start the worker.
inline constexpr ResultByte kProcedureStarted = 2;
// The start calls' result when the system would not start the worker thread (the
// started result would be a lie; nothing runs and the guard is free again).
inline constexpr ResultByte kProcedureNotStarted = 0;

// Argument: the finger index, low byte sent.
extern const transport::CommandRow kDeleteFinger;

// DoDeleteFingerRequest on the connected module.
ResultByte deleteFinger(std::uint32_t fingerIndex);

// One index, or slots 1 to 5 in order for kAllFingers, stopping at the first deletion
// that fails (those before it stay deleted). 1 when every deletion gave 1.
ResultByte deleteFingers(std::uint8_t fingerIndex);

// Starts the background deletion: 2 started (also when no thread could be made: then
// nothing follows), 16 a deletion still runs (nothing changed). A null callback is
// allowed: the deletion then runs without a report.
ResultByte beginDeleteProcedure(std::uint8_t fingerIndex, ResultCallback callback);

}  // namespace fpm::finger
