#include "finger/verify_commands.h"

#include "connection/connection_state.h"
#include "finger/capture_image.h"
#include "finger/enroll_commands.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"
#include "transport/little_endian.h"

namespace fpm::finger {

using transport::Command;
using transport::StatusRule;
using transport::VendorCommandBlock;

namespace {

// A verification is two request/wait pairs. Each request is one send: busy is a failure
// there, and the module's cancel and unknown-command answers are passed on.
constexpr StatusRule kRequestStatuses[] = {
    {transport::kStatusOk, kSuccess, nullptr},
    {transport::kStatusCanceling, transport::kStatusCanceling, nullptr},
    {transport::kStatusUnknownCommand, transport::kStatusUnknownCommand, nullptr},
};
const Command kRequest{.options = {.timeoutSeconds = 10, .pollWhileBusy = false}, .statuses = kRequestStatuses};

// The module prepares the verification; a failed transfer is asked again.
constexpr StatusRule kPrepareStatuses[] = {{transport::kStatusOk, kSuccess, nullptr}};
const Command kPrepareWait{
    .options = {.timeoutSeconds = 10, .retryFailedTransfer = true, .failureLimitMs = kVerifyFailureLimitMs},
    .statuses = kPrepareStatuses};

// The outcome: only here may a cancel request cut the wait.
constexpr StatusRule kOutcomeStatuses[] = {
    {kStatusMatch, kMatch, nullptr}, {kStatusNoMatch, kNoMatch, nullptr}, {transport::kStatusFakeFinger, kFakeFinger, nullptr}};
const Command kOutcomeWait{.options = {.timeoutSeconds = 10,
                                       .cancellable = true,
                                       .retryFailedTransfer = true,
                                       .failureLimitMs = kVerifyFailureLimitMs},
                           .statuses = kOutcomeStatuses,
                           .canceledResult = kCanceled};

const image::ImageRead kVerifyImage{.name = "GetVerifyImage", .code = kCmdGetVerifyImage, .request = nullptr};

// The presence query is one send; what the module answers is read by the caller.
const Command kPresence{.options = {.timeoutSeconds = 15, .pollWhileBusy = false},
                        .statuses = {},
                        .unlistedResult = kSuccess,
                        .unlistedReason = nullptr};

// The timing record is taken as it comes: no echo, no status.
const Command kVerifyPeriod{
    .logPrefix = "GetVerifyLatency",
    .options = {.replyLength = 10, .timeoutSeconds = 3, .pollWhileBusy = false, .checkEcho = false},
    .statuses = {},
    .unlistedResult = kSuccess,
    .unlistedReason = nullptr,
    .clearsCancel = true};

constexpr std::int32_t kPresenceFailed = -1;
constexpr std::uint8_t kFingerOn = 1;
constexpr std::uint8_t kFingerStatePassedOn = 15;  // a second state callers get as it stands
constexpr std::uint8_t kFingerStateOther = 13;

// One finger-presence query: the module's status, or nothing when the query failed.
std::int32_t presence(device::Handle handle)
{
    auto outcome = transport::run(kPresence, handle, VendorCommandBlock::make(kCmdGetFingerprint, {0}));
    if (outcome.reply.ending != transport::Ending::Replied) return kPresenceFailed;
    return outcome.reply.status;
}

}  // namespace

ResultByte doVerifyRequest(device::Handle handle, std::uint8_t finger)
{
    transport::clearCancelRequest();
    for (std::uint8_t code : {kCmdVerifyRequest, kCmdCheckVerifyStatus}) {
        auto request = transport::run(kRequest, handle, VendorCommandBlock::make(code, {0, finger}));
        if (request.result != kSuccess) return request.result;
        const Command &wait = code == kCmdVerifyRequest ? kPrepareWait : kOutcomeWait;
        auto waited = transport::run(wait, handle, VendorCommandBlock::make(code, {1, finger}));
        if (code == kCmdCheckVerifyStatus || waited.result != kSuccess) return waited.result;
    }
    return kFailure;  // not reached: the outcome wait always ends the call
}

ResultByte getVerifyImage(device::Handle handle, std::uint8_t *buffer)
{
    transport::clearCancelRequest();
    return readCaptureImage(kVerifyImage, handle, buffer);
}

std::int32_t isFingerOn(device::Handle handle)
{
    const std::int32_t status = presence(handle);
    if (status == kPresenceFailed) return kPresenceFailed;
    return status == kFingerOn ? 1 : 0;
}

std::int32_t fingerStatus(device::Handle handle, std::uint8_t *fingerState)
{
    if (!fingerState) return kPresenceFailed;
    const std::int32_t status = presence(handle);
    if (status == kPresenceFailed) return kPresenceFailed;
    *fingerState =
        status == kFingerOn || status == kFingerStatePassedOn ? static_cast<std::uint8_t>(status) : kFingerStateOther;
    return 0;
}

ResultByte getVerifyPeriod(device::Handle handle, std::uint32_t *first, std::uint32_t *second)
{
    if (!first || !second) return kFailure;
    alignas(8) std::uint8_t record[10];
    if (transport::run(kVerifyPeriod, handle, VendorCommandBlock::make(kCmdGetVerifyPeriod), record).result != kSuccess)
        return kFailure;
    *first = transport::littleEndian(record + 2, 4);
    *second = transport::littleEndian(record + 6, 4);
    return kSuccess;
}

}  // namespace fpm::finger
