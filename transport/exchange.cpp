#include "transport/exchange.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "log/diagnostic_log.h"
#include "transport/tick_pacer.h"

namespace fpm::transport {

namespace {

constexpr StatusRule kStandardStatuses[] = {
    {kStatusOk, kSuccess, nullptr},
    {kStatusError, kFailure, "CODE_ERROR"},
    {kStatusCanceling, kFailure, "CODE_CANCELING"},
    {kStatusUnknownCommand, kFailure, "CODE_UNKNOWN_CMD"},
};

}  // namespace

std::span<const StatusRule> standardStatuses() { return kStandardStatuses; }

ExchangeReply exchange(device::Handle handle, const VendorCommandBlock &block, std::uint8_t *reply,
                       const ExchangeOptions &options)
{
    InProgressMark mark(options.marksInProgress);
    const std::atomic<std::uint8_t> *cancel = options.cancellable ? &cancelRequestFlag() : nullptr;
    std::memset(reply, 0, options.replyLength);
    TickPacer pacer;

    auto limitReached = [&] { return options.limitMs != 0 && pacer.elapsedMs() >= options.limitMs; };
    auto sendsAgain = [&](std::uint8_t status) {
        if (status == kStatusBusy && options.pollWhileBusy) return true;
        if (options.endStatuses.empty()) return false;
        return std::find(options.endStatuses.begin(), options.endStatuses.end(), status) == options.endStatuses.end();
    };
    if (options.firstSendOnNextTick) pacer.markTick();
    bool failing = false;             // the last transfer failed
    std::uint64_t failingSinceMs = 0;  // send time of the first of the failed transfers in a row

    for (;;) {
        if (!pacer.waitNextTick(cancel)) return {Ending::Canceled, 0};
        if (options.holdWhileSet) {
            while (options.holdWhileSet->load()) {
                if (options.requestsCancelWhileHeld) requestCancel();
                pacer.markTick();
                pacer.waitNextTick();
            }
        }
        pacer.markTick();
        const std::uint64_t sentAtMs = pacer.elapsedMs();
        if (!transfer(handle, block, options.direction, reply, options.replyLength, options.timeoutSeconds)) {
            if (!options.retryFailedTransfer) return {Ending::TransferFailed, 0};
            if (!failing) failingSinceMs = sentAtMs;
            failing = true;
            const bool failingTooLong =
                options.failureLimitMs != 0 && pacer.elapsedMs() - failingSinceMs >= options.failureLimitMs;
            if (limitReached() || failingTooLong) return {Ending::LimitReached, 0};
            continue;
        }
        failing = false;
        if (options.checkEcho && reply[0] != block.code()) return {Ending::WrongEcho, reply[1]};
        if (sendsAgain(reply[1])) {
            if (limitReached()) return {Ending::LimitReached, reply[1]};
            continue;
        }
        return {Ending::Replied, reply[1]};
    }
}

namespace {

ResultByte settle(const Command &command, const ExchangeReply &r)
{
    ResultByte result = kFailure;
    const char *reason = nullptr;
    switch (r.ending) {
    case Ending::TransferFailed:
        result = kFailure;
        if (command.logTransferFailure) reason = command.transferFailureReason;
        break;
    case Ending::WrongEcho:
        result = kFailure;
        if (command.logWrongEcho) reason = "Buffer[0] != LastCmd";
        break;
    case Ending::Canceled:
        result = command.canceledResult;
        break;
    case Ending::LimitReached:
        result = command.limitResult;
        break;
    case Ending::Replied: {
        result = command.unlistedStatusIsResult ? r.status : command.unlistedResult;
        reason = command.unlistedReason;
        for (const StatusRule &rule : command.statuses) {
            if (rule.status == r.status) {
                result = rule.result;
                reason = rule.reason;
                break;
            }
        }
        break;
    }
    }
    if (reason && command.logPrefix) log::writeFailure(command.logPrefix, reason);
    return result;
}

}  // namespace

CommandOutcome run(const Command &command, device::Handle handle, const VendorCommandBlock &block,
                   std::uint8_t *reply)
{
    if (command.clearsCancel) clearCancelRequest();
    const ExchangeReply r = exchange(handle, block, reply, command.options);
    return {settle(command, r), r};
}

CommandOutcome run(const Command &command, device::Handle handle, const VendorCommandBlock &block)
{
    // A longer reply has a buffer of its own (the other form); this one is never overrun.
    assert(command.options.replyLength <= kReplyBytes);
    ExchangeOptions options = command.options;
    options.replyLength = std::min<std::uint32_t>(options.replyLength, kReplyBytes);
    CommandOutcome outcome{kFailure, {Ending::TransferFailed, 0}};
    if (command.clearsCancel) clearCancelRequest();
    outcome.reply = exchange(handle, block, outcome.bytes.data(), options);
    outcome.result = settle(command, outcome.reply);
    return outcome;
}

}  // namespace fpm::transport
