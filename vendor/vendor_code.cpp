#include "vendor/vendor_code.h"

#include <algorithm>
#include <array>

#include "connection/module_handle.h"
#include "transport/exchange.h"

namespace fpm::vendor {

using transport::Command;
using transport::StatusRule;

namespace {

// Status 6 and an unknown command both mean the module refuses the operation.
constexpr std::uint8_t kStatusRefused = 6;
constexpr StatusRule kStatuses[] = {
    {transport::kStatusOk, kSuccess, nullptr},
    {kStatusRefused, kStatusRefused, nullptr},
    {transport::kStatusUnknownCommand, kStatusRefused, nullptr},
};

constexpr Command vendorCodeCommand(std::uint32_t replyLength)
{
    return Command{.options = {.replyLength = replyLength, .timeoutSeconds = 3, .limitMs = kVendorCodeBusyLimitMs},
                   .statuses = kStatuses,
                   .unlistedStatusIsResult = true,
                   .clearsCancel = true};
}

constexpr std::uint32_t kShortReply = transport::kReplyBytes;
constexpr std::uint32_t kLongReply = 2 + kLongCodeLength;
const Command kShortCodeCommand = vendorCodeCommand(kShortReply);
const Command kLongCodeCommand = vendorCodeCommand(kLongReply);

transport::VendorCommandBlock vendorCodeBlock(std::uint8_t operation)
{
    return transport::VendorCommandBlock::make(kCmdVendorCode, {0, operation});
}

}  // namespace

ResultByte shortCodeOperation(device::Handle handle, std::uint8_t operation, std::uint16_t *code,
                              std::uint8_t writeParameter)
{
    const bool usesCode = operation == kReadShortCode || operation == kWriteShortCode;
    if (usesCode && !code) return kFailure;

    transport::VendorCommandBlock block = vendorCodeBlock(operation);
    if (operation == kWriteShortCode) {
        block.bytes[4] = static_cast<std::uint8_t>(*code >> 8);
        block.bytes[5] = static_cast<std::uint8_t>(*code);
        block.bytes[6] = writeParameter;
    }
    const transport::CommandOutcome outcome = transport::run(kShortCodeCommand, handle, block);
    if (operation == kReadShortCode && outcome.ok())
        *code = static_cast<std::uint16_t>(outcome.bytes[2] << 8 | outcome.bytes[3]);
    return outcome.result;
}

ResultByte longCodeOperation(device::Handle handle, std::uint8_t operation, std::uint8_t *code)
{
    const bool usesCode = operation == kReadLongCode || operation == kWriteLongCode;
    if (usesCode && !code) return kFailure;

    transport::VendorCommandBlock block = vendorCodeBlock(operation);
    if (operation == kWriteLongCode) std::copy_n(code, kLongCodeLength, block.bytes.begin() + 4);
    alignas(8) std::array<std::uint8_t, kLongReply> reply{};
    const transport::CommandOutcome outcome = transport::run(kLongCodeCommand, handle, block, reply.data());
    if (operation == kReadLongCode && outcome.ok()) std::copy_n(reply.begin() + 2, kLongCodeLength, code);
    return outcome.result;
}

std::int32_t writeVendorCode(const std::uint8_t *code, std::int32_t count)
{
    if (count <= 0 || count > static_cast<std::int32_t>(kLongCodeLength)) return -1;
    if (!code) return -2;
    // The count is only checked: the code is always the caller's 8 bytes as they stand,
    // which callers of this function rely on.
    const ResultByte result = longCodeOperation(connection::connectedHandle(), kWriteLongCode,
                                                const_cast<std::uint8_t *>(code));
    return result == kSuccess ? 0 : -3;
}

}  // namespace fpm::vendor
