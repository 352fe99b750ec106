#include "finger/enroll_commands.h"

#include <array>
#include <string_view>

#include "connection/connection_state.h"
#include "finger/capture_image.h"
#include "image/two_phase_read.h"
#include "transport/exchange.h"
#include "transport/protocol_commands.h"

namespace fpm::finger {

using transport::Command;
using transport::StatusRule;
using transport::VendorCommandBlock;

namespace {

const Command kQueryAmount{
    .logPrefix = "QueryEnrollAmount", .options = {.timeoutSeconds = 10}, .clearsCancel = true};

// A cancel seen while waiting ends the request with 2, the outcome poll with 8; a
// CODE_CANCELING from the module is an ordinary failure with its line.
const Command kEnrollRequest{
    .logPrefix = "DoEnrollRequest",
    .options = {.timeoutSeconds = 15, .cancellable = true, .marksInProgress = true},
    .canceledResult = kFailure,
    .clearsCancel = true,
};

constexpr StatusRule kEnrollStatuses[] = {
    {transport::kStatusOk, kSuccess, nullptr},
    {transport::kStatusError, kFailure, "CODE_ERROR"},
    {transport::kStatusFakeFinger, kFakeFinger, "CODE_FAKE_FINGER"},
    {transport::kStatusCanceling, kFailure, "CODE_CANCELING"},
    {transport::kStatusUnknownCommand, kFailure, "CODE_UNKNOWN_CMD"},
};
const Command kCheckStatus{
    .logPrefix = "CheckEnrollStatus",
    .options = {.timeoutSeconds = 15, .cancellable = true, .marksInProgress = true},
    .statuses = kEnrollStatuses,
    .canceledResult = kCanceled,
    .clearsCancel = true,
};

const image::ImageRead kEnrollImage{
    .name = "GetEnrollImage", .code = kCmdGetEnrollImage, .request = nullptr, .dataLogPrefix = "GetEnrollImage"};

// Firmware whose version text names this family keeps 16 captures per finger.
constexpr std::string_view kSixteenCaptureFamily = "83KV";
constexpr std::uint8_t kCapturesSixteen = 16;
constexpr std::uint8_t kCapturesEight = 8;

}  // namespace

ResultByte queryEnrollAmount(device::Handle handle, std::uint8_t finger, std::int32_t *amount)
{
    if (!amount) return kFailure;
    auto outcome = transport::run(kQueryAmount, handle, VendorCommandBlock::make(kCmdQueryEnrollAmount, {0, finger}));
    if (outcome.ok()) *amount = outcome.bytes[2];
    return outcome.result;
}

ResultByte doEnrollRequest(device::Handle handle, std::uint8_t finger)
{
    return transport::run(kEnrollRequest, handle, VendorCommandBlock::make(kCmdEnrollRequest, {0, finger})).result;
}

ResultByte checkEnrollStatus(device::Handle handle)
{
    return transport::run(kCheckStatus, handle, VendorCommandBlock::make(kCmdCheckEnrollStatus, {0})).result;
}

ResultByte getEnrollImage(device::Handle handle, std::uint8_t *buffer)
{
    return getEnrollImage(handle, buffer, state().geometry());
}

ResultByte getEnrollImage(device::Handle handle, std::uint8_t *buffer, const Geometry &geometry)
{
    transport::clearCancelRequest();
    return readCaptureImage(kEnrollImage, handle, buffer, geometry);
}

ResultByte maxEnrollPerFinger(device::Handle handle, std::uint8_t *count)
{
    if (!count) return kFailure;
    std::array<std::uint8_t, 32> text{};  // 31 bytes read: always ends in a zero
    if (transport::getFirmwareVersion(handle, 0, 31, text.data()) != kSuccess) return kFailure;
    const std::string_view version(reinterpret_cast<const char *>(text.data()));
    *count = version.find(kSixteenCaptureFamily) != std::string_view::npos ? kCapturesSixteen : kCapturesEight;
    return kSuccess;
}

}  // namespace fpm::finger
