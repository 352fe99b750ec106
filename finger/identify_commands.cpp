#include "finger/identify_commands.h"

#include "connection/connection_state.h"
#include "finger/capture_image.h"
#include "finger/enroll_commands.h"
#include "finger/verify_commands.h"
#include "image/image_upload.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"

namespace fpm::finger {

using transport::Command;
using transport::StatusRule;
using transport::VendorCommandBlock;

namespace {

const Command kIdentifyRequest{.logPrefix = "DoIdentifyRequest(CMD_IDENTIFY_REQUEST)",
                               .options = {.timeoutSeconds = 15, .cancellable = true},
                               .transferFailureReason = "RecvDataTransaction",
                               .canceledResult = kCanceled};

// Only a match or no match is an answer; CODE_OK and a fake finger are failures here.
constexpr StatusRule kOutcomeStatuses[] = {
    {kStatusMatch, kMatch, nullptr},
    {kStatusNoMatch, kNoMatch, nullptr},
    {transport::kStatusError, kFailure, "CODE_ERROR"},
    {transport::kStatusCanceling, kFailure, "CODE_CANCELING"},
    {transport::kStatusUnknownCommand, kFailure, "CODE_UNKNOWN_CMD"},
};
const Command kIdentifyOutcome{.logPrefix = "DoIdentifyRequest(CMD_CHECK_IDENTIFY_STATUS)",
                               .options = {.timeoutSeconds = 15, .cancellable = true},
                               .statuses = kOutcomeStatuses,
                               .transferFailureReason = "RecvDataTransaction",
                               .canceledResult = kCanceled};

// Sent once before a fresh identification; its answer does not matter.
const Command kPresenceNudge{.options = {.timeoutSeconds = 15, .pollWhileBusy = false, .checkEcho = false},
                             .statuses = {},
                             .unlistedResult = kSuccess,
                             .unlistedReason = nullptr};

const Command kIdentifyImageRequest{.logPrefix = "GetIdentifyImage", .options = {.timeoutSeconds = 3}};
const image::ImageRead kIdentifyImage{.name = "GetIdentifyImage",
                                      .code = kCmdGetIdentifyImage,
                                      .request = &kIdentifyImageRequest,
                                      .dataTimeoutSeconds = 3};

// The request, an optional upload, the outcome; commandInProgress is held from the start
// to every return, so that DoCancel never sends its command between two of them.
ResultByte identify(device::Handle handle, std::uint8_t *finger, const std::uint8_t *image)
{
    transport::clearCancelRequest();
    transport::InProgressMark inProgress;
    if (!image) transport::run(kPresenceNudge, handle, VendorCommandBlock::make(kCmdGetFingerprint, {0}));

    auto request = transport::run(kIdentifyRequest, handle, VendorCommandBlock::make(kCmdIdentifyRequest));
    if (request.result != kSuccess) return request.result;

    if (image) {
        const auto bytes = static_cast<std::uint32_t>(image::currentImageBytes());
        const ResultByte uploaded = image::uploadImage(handle, image, bytes);
        if (uploaded != kSuccess) return uploaded;
    }

    auto outcome = transport::run(kIdentifyOutcome, handle, VendorCommandBlock::make(kCmdCheckIdentifyStatus));
    if (outcome.result == kMatch) *finger = outcome.bytes[2];
    return outcome.result;
}

}  // namespace

ResultByte doIdentifyRequest(device::Handle handle, std::uint8_t *finger)
{
    if (!finger) return kFailure;
    return identify(handle, finger, nullptr);
}

ResultByte doIdentifyRequestEx(device::Handle handle, std::uint8_t *finger, const std::uint8_t *image)
{
    // The upload needs the image and its size before anything is asked of the module.
    if (!finger || !image || image::currentImageBytes() == 0) return kFailure;
    return identify(handle, finger, image);
}

ResultByte getIdentifyImage(device::Handle handle, std::uint8_t *buffer)
{
    return getIdentifyImage(handle, buffer, state().geometry());
}

ResultByte getIdentifyImage(device::Handle handle, std::uint8_t *buffer, const Geometry &geometry)
{
    return readCaptureImage(kIdentifyImage, handle, buffer, geometry);
}

}  // namespace fpm::finger
