#include "image/image_read_commands.h"

#include "transport/tick_pacer.h"

namespace fpm::image {

using transport::Command;
using transport::Ending;
using transport::StatusRule;
using transport::kStatusCanceling;
using transport::kStatusError;
using transport::kStatusFakeFinger;
using transport::kStatusOk;
using transport::kStatusUnknownCommand;

namespace {

// None of the image commands touches a pending cancel request.
const Command kLoggedRequest{.logPrefix = "GetRawImage", .options = {.timeoutSeconds = 10}};
const Command kSilentRequest{.logPrefix = nullptr, .options = {.timeoutSeconds = 10}};
const Command kCalibrationRequest{.logPrefix = nullptr, .options = {.timeoutSeconds = 3}};

const ImageRead kBufferImage{.name = "GetBufferImage",
                             .code = kCmdGetBufferImage,
                             .request = &kSilentRequest,
                             .phaseLogPrefix = "GetBufferImage",
                             .zeroBeforeData = false};
const ImageRead kSimpleImage{.name = "SimpleGetImage",
                             .code = kCmdGetBufferImage,
                             .request = &kSilentRequest,
                             .phaseLogPrefix = "GetBufferImage",
                             .zeroBeforeData = false,
                             .copyFailedData = true};

// Statuses 13 and 15 mean "no image" (result 0); busy is not waited on.
constexpr std::uint8_t kStatusNoImage13 = 13;
constexpr std::uint8_t kStatusNoImage15 = 15;
constexpr std::int32_t kFingerprintNone = 0;
constexpr std::int32_t kFingerprintTransferFailed = 251;
constexpr std::int32_t kFingerprintWrongEcho = 252;
constexpr std::int32_t kFingerprintRefused = 253;
constexpr StatusRule kFingerprintStatuses[] = {{kStatusOk, kSuccess, nullptr},
                                               {kStatusNoImage13, kFingerprintNone, nullptr},
                                               {kStatusNoImage15, kFingerprintNone, nullptr}};
const Command kFingerprintRequest{.logPrefix = nullptr,
                                  .options = {.timeoutSeconds = 10, .pollWhileBusy = false},
                                  .statuses = kFingerprintStatuses,
                                  .unlistedResult = kFingerprintRefused};
const ImageRead kFingerprint{.name = "SimpleGetFingerprint",
                             .code = kCmdGetFingerprint,
                             .request = &kFingerprintRequest,
                             .phaseLogPrefix = "SimpleGetFingerprint",
                             .zeroBeforeData = false,
                             .copyFailedData = true};

// Image check. The request phase asks again while the module answers anything but 1 or
// 2; a status other than busy is asked again at most this often.
constexpr int kCheckRequestRepeats = 50;
constexpr ResultByte kAskAgain = 0;
constexpr StatusRule kCheckRequestStatuses[] = {{kStatusOk, kSuccess, nullptr}, {kStatusError, kFailure, "CODE_ERROR"}};
const Command kCheckRequest{.logPrefix = "CheckImage(CMD_FLAG)",
                            .options = {.timeoutSeconds = 10},
                            .statuses = kCheckRequestStatuses,
                            .unlistedResult = kAskAgain,
                            .unlistedReason = nullptr};
constexpr ResultByte kFakeFinger = kStatusFakeFinger;
constexpr StatusRule kCheckStatuses[] = {{kStatusOk, kSuccess, nullptr},
                                         {kStatusError, kFailure, "CODE_ERROR"},
                                         {kStatusFakeFinger, kFakeFinger, "CODE_FAKE_FINGER"},
                                         {kStatusCanceling, kFailure, "CODE_CANCELING"},
                                         {kStatusUnknownCommand, kFailure, "CODE_UNKNOWN_CMD"}};
const Command kCheckStatus{.logPrefix = "CheckImage(STATUS_FLAG)",
                           .options = {.timeoutSeconds = 10},
                           .statuses = kCheckStatuses};

}  // namespace

const ImageRead kRawImage{.name = "GetRawImage", .code = kCmdGetRawImage, .request = &kLoggedRequest};
const ImageRead kCurrentImage{.name = "GetCurrentImage", .code = kCmdGetCurrentImage, .request = &kSilentRequest};
const ImageRead kFlashImage{.name = "DumpFlashImage", .code = kCmdDumpFlashImage, .request = &kSilentRequest};
const ImageRead kBaseImage{.name = "OutputBaseImage", .code = kCmdOutputBaseImage, .request = &kSilentRequest};

ResultByte outputCalibrationImage(device::Handle handle, std::uint8_t *buffer, std::uint8_t index)
{
    const ImageRead read{.name = "OutputCalibrationImage",
                         .code = kCmdOutputCalibrationImage,
                         .request = &kCalibrationRequest,
                         .parameter = index,
                         .dataTimeoutSeconds = 3};
    return readPlain(read, handle, buffer);
}

ResultByte getBufferImage(device::Handle handle, std::int32_t sizeA, std::int32_t sizeB, std::uint8_t *buffer)
{
    // The caller's sizes describe its buffer; a size that no module image can have is refused.
    if (!buffer || sizeA <= 0 || sizeB <= 0) return kFailure;
    const std::int64_t bytes = static_cast<std::int64_t>(sizeA) * sizeB;
    if (bytes > kMaxImageBytes) return kFailure;
    return readImage(kBufferImage, handle, buffer, bytes).delivered() ? kSuccess : kFailure;
}

std::int32_t simpleGetImage(device::Handle handle, std::uint8_t *buffer, std::int32_t *length)
{
    constexpr std::int32_t kDelivered = 0;
    const std::int64_t bytes = currentImageBytes();
    if (!buffer || !length || bytes == 0) return kFailure;
    ReadOutcome outcome = readImage(kSimpleImage, handle, buffer, bytes);
    if (outcome.ending == ReadEnding::RequestFailed) return kFailure;
    *length = static_cast<std::int32_t>(bytes);
    return outcome.delivered() ? kDelivered : kFailure;
}

std::int32_t simpleGetFingerprint(device::Handle handle, std::uint8_t *buffer)
{
    constexpr std::int32_t kBadArgument = -1;
    const std::int64_t bytes = currentImageBytes();
    if (!buffer || bytes == 0) return kBadArgument;
    ReadOutcome outcome = readImage(kFingerprint, handle, buffer, bytes);
    switch (outcome.ending) {
    case ReadEnding::Delivered:
        return kSuccess;
    case ReadEnding::DataFailed:
        return kFingerprintTransferFailed;
    case ReadEnding::RequestFailed:
        break;
    }
    switch (outcome.request.reply.ending) {
    case Ending::TransferFailed:
        return kFingerprintTransferFailed;
    case Ending::WrongEcho:
        return kFingerprintWrongEcho;
    default:
        return outcome.request.result;
    }
}

ResultByte checkImage(device::Handle handle, std::uint8_t *value)
{
    if (!value) return kFailure;
    auto block = transport::VendorCommandBlock::make(kCmdCheckImage, {kCmdFlag});

    transport::TickPacer pacer;
    transport::CommandOutcome request = transport::run(kCheckRequest, handle, block);
    for (int repeat = 0; request.result == kAskAgain; ++repeat) {
        if (repeat == kCheckRequestRepeats) return kFailure;
        pacer.markTick();
        pacer.waitNextTick();
        request = transport::run(kCheckRequest, handle, block);
    }
    if (request.result != kSuccess) return request.result;

    block.bytes[2] = kStatusFlag;
    transport::CommandOutcome status = transport::run(kCheckStatus, handle, block);
    if (status.result == kSuccess) *value = status.bytes[2];
    return status.result;
}

}  // namespace fpm::image
