// The command exchange: send a vendor command block, re-send it on each new tick while
// the module answers busy, check the echo, and map the status to a result with the
// failure lines of the diagnostic log. Every command of the library is described by a
// Command and runs through run().
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "connection/result.h"
#include "platform/device_io.h"
#include "transport/cancel_flags.h"
#include "transport/pass_through.h"

namespace fpm::transport {

// Status codes of the module's replies.
inline constexpr std::uint8_t kStatusOk = 1;
inline constexpr std::uint8_t kStatusError = 2;
inline constexpr std::uint8_t kStatusBusy = 3;
inline constexpr std::uint8_t kStatusFakeFinger = 7;  // the capture was judged not a live finger
inline constexpr std::uint8_t kStatusCanceling = 8;
inline constexpr std::uint8_t kStatusUnknownCommand = 9;

struct ExchangeOptions {
    Direction direction = Direction::FromModule;
    std::uint32_t replyLength = 8;
    std::uint32_t timeoutSeconds = 3;
    bool pollWhileBusy = true;            // status 3: send again on the next tick
    bool checkEcho = true;                // reply byte 0 must repeat the command code
    bool cancellable = false;             // ends when cancelRequested is seen before a send or while waiting
    bool marksInProgress = false;         // holds commandInProgress at 1 for the whole exchange
    bool retryFailedTransfer = false;     // a failed transfer is sent again on the next tick
    std::uint32_t limitMs = 0;            // overall limit for re-sends; 0: none
    // With retryFailedTransfer: give up once transfers have failed for this long with no
    // success between (a module that stopped answering); 0: none.
    std::uint32_t failureLimitMs = 0;
    bool firstSendOnNextTick = false;     // the first send waits for tick 1 instead of going out at once
    // When given, only these statuses end the exchange; any other is sent again on the
    // next tick like busy (and counts against limitMs).
    std::span<const std::uint8_t> endStatuses{};
    // Before each send, while this flag is set, wait for the next tick (DoCancel waits so
    // for the command it cancels).
    const std::atomic<std::uint8_t> *holdWhileSet = nullptr;
    // While held, raise the cancel request again on every tick: the command being waited
    // for may have started after the request and cleared it on entry, and would then
    // never end (nor would the hold).
    bool requestsCancelWhileHeld = false;
};

enum class Ending : std::uint8_t {
    Replied,         // the module answered; `status` holds reply byte 1
    TransferFailed,  // the pass-through request failed
    WrongEcho,       // reply byte 0 was not the command code
    Canceled,        // cancelRequested was seen
    LimitReached,    // the overall limit ran out while busy or failing
};

struct ExchangeReply {
    Ending ending;
    std::uint8_t status;
};

// Runs the send/poll loop only. `reply` holds options.replyLength bytes and is zeroed
// once before the first send.
ExchangeReply exchange(device::Handle handle, const VendorCommandBlock &block, std::uint8_t *reply,
                       const ExchangeOptions &options);

// What a status means for one command: its result and its log reason (null: no line).
struct StatusRule {
    std::uint8_t status;
    ResultByte result;
    const char *reason;
};

// 1 succeeds; 2, 8 and 9 fail with their lines.
std::span<const StatusRule> standardStatuses();

struct Command {
    const char *logPrefix = nullptr;  // null: the command writes no line at all
    ExchangeOptions options;
    std::span<const StatusRule> statuses = standardStatuses();
    ResultByte unlistedResult = kFailure;
    bool unlistedStatusIsResult = false;  // an unlisted status is passed on as the result
    const char *unlistedReason = "default";
    bool logTransferFailure = true;
    const char *transferFailureReason = "RecvDataTransaction Fail";
    bool logWrongEcho = true;
    ResultByte canceledResult = kFailure;
    ResultByte limitResult = kFailure;
    // Clears the cancel request before anything else; the few commands that start a new
    // operation of their own do, the rest leave a pending request alone.
    bool clearsCancel = false;
};

// The usual reply: 8 bytes, the echoed code and the status first.
inline constexpr std::size_t kReplyBytes = 8;
using Reply = std::array<std::uint8_t, kReplyBytes>;

struct CommandOutcome {
    ResultByte result;
    ExchangeReply reply;
    // The last 8-byte reply the module sent (zeroed when none came); empty for a command
    // run with its own, longer reply buffer.
    alignas(8) Reply bytes{};
    bool ok(std::uint8_t status = kStatusOk) const
    {
        return reply.ending == Ending::Replied && reply.status == status;
    }
};

// The whole command: clear the cancel request if the command says so, exchange, map the
// ending and status to the result, write the command's failure line. The 8-byte reply
// comes back in the outcome; the command's reply length must not exceed it.
CommandOutcome run(const Command &command, device::Handle handle, const VendorCommandBlock &block);
// The same for a reply longer than 8 bytes, read into `reply` (command.options.replyLength bytes).
CommandOutcome run(const Command &command, device::Handle handle, const VendorCommandBlock &block,
                   std::uint8_t *reply);

}  // namespace fpm::transport
