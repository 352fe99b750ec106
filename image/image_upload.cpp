#include "image/image_upload.h"

#include "transport/exchange.h"

namespace fpm::image {

using transport::Command;
using transport::StatusRule;
using transport::kStatusOk;

namespace {

constexpr std::uint32_t kStageLimitMs = 5000;
constexpr std::uint8_t kPhaseRequest = 0;
constexpr std::uint8_t kPhaseData = 1;
constexpr std::uint8_t kPhaseStatus = 2;

// Each stage has its own 5 seconds; a failed transfer is tried again on the next tick.
constexpr StatusRule kRequestStatuses[] = {{kStatusOk, kSuccess, nullptr}, {kUploadRefused, kUploadRefused, nullptr}};
const Command kRequest{.options = {.timeoutSeconds = 10, .pollWhileBusy = false, .retryFailedTransfer = true,
                                   .limitMs = kStageLimitMs},
                       .statuses = kRequestStatuses};

constexpr StatusRule kStatusStatuses[] = {{kStatusOk, kSuccess, nullptr}};
const Command kStatusPoll{.options = {.timeoutSeconds = 10, .retryFailedTransfer = true, .limitMs = kStageLimitMs},
                          .statuses = kStatusStatuses};

// The module is still storing the image: everything but its two answers is asked again.
constexpr std::uint8_t kCompletionAnswers[] = {kStatusOk, kUploadCompleted14};
constexpr StatusRule kCompletionStatuses[] = {{kStatusOk, kSuccess, nullptr},
                                              {kUploadCompleted14, kUploadCompleted14, nullptr}};
const Command kCompletionPoll{.options = {.timeoutSeconds = 10, .retryFailedTransfer = true,
                                          .limitMs = kStageLimitMs, .firstSendOnNextTick = true,
                                          .endStatuses = kCompletionAnswers},
                              .statuses = kCompletionStatuses};

transport::VendorCommandBlock uploadBlock(std::uint8_t phase, const UploadTarget &target)
{
    return transport::VendorCommandBlock::make(kCmdSendImage, {phase, target.selector});
}

}  // namespace

ResultByte uploadImage(device::Handle handle, const std::uint8_t *image, std::uint32_t length,
                       UploadTarget target)
{
    if (!image || length == 0) return kFailure;
    transport::CommandOutcome request = transport::run(kRequest, handle, uploadBlock(kPhaseRequest, target));
    if (request.result != kSuccess) return request.result;

    // The transport only reads from a data-out buffer.
    if (!transport::transfer(handle, uploadBlock(kPhaseData, target), transport::Direction::ToModule,
                             const_cast<std::uint8_t *>(image), length, 10))
        return kFailure;

    transport::CommandOutcome status = transport::run(kStatusPoll, handle, uploadBlock(kPhaseStatus, target));
    if (status.result != kSuccess) return kFailure;
    if (!target.awaitCompletion) return kSuccess;

    return transport::run(kCompletionPoll, handle, uploadBlock(kPhaseStatus, target)).result;
}

}  // namespace fpm::image
