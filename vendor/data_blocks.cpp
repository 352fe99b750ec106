#include "vendor/data_blocks.h"

#include <algorithm>
#include <array>
#include <vector>

#include "transport/exchange.h"

namespace fpm::vendor {

namespace {

constexpr std::uint32_t kTimeoutSeconds = 3;
constexpr std::uint32_t kWriteStatusLength = 8;

// One answer, taken as it comes: a busy module has failed the read or the write.
transport::Command oneAnswer(std::uint32_t replyLength)
{
    return transport::Command{.options = {.replyLength = replyLength, .timeoutSeconds = kTimeoutSeconds,
                                          .pollWhileBusy = false}};
}

transport::VendorCommandBlock blockCommand(std::uint8_t code, std::uint8_t operation, std::uint16_t length)
{
    return transport::VendorCommandBlock::make(
        code, {0, operation, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)});
}

}  // namespace

ResultByte readBlock(device::Handle handle, std::uint8_t code, std::uint16_t length, std::uint8_t *buffer)
{
    if (!buffer && length != 0) return kFailure;
    std::vector<std::uint8_t> reply(2u + length);
    const transport::CommandOutcome outcome =
        transport::run(oneAnswer(static_cast<std::uint32_t>(reply.size())), handle,
                       blockCommand(code, kReadBlock, length), reply.data());
    if (!outcome.ok()) return kFailure;
    std::copy(reply.begin() + 2, reply.end(), buffer);
    return kSuccess;
}

ResultByte writeBlock(device::Handle handle, std::uint8_t code, std::uint8_t operation, std::uint16_t length,
                      const std::uint8_t *buffer)
{
    if (!buffer && length != 0) return kFailure;
    transport::VendorCommandBlock block = blockCommand(code, operation, length);
    // The transport only reads from a data-out buffer.
    if (!transport::transfer(handle, block, transport::Direction::ToModule, const_cast<std::uint8_t *>(buffer),
                             length, kTimeoutSeconds))
        return kFailure;

    block.bytes[2] = 1;
    alignas(8) std::array<std::uint8_t, kWriteStatusLength> status{};
    return transport::run(oneAnswer(kWriteStatusLength), handle, block, status.data()).ok() ? kSuccess : kFailure;
}

ResultByte blockOperation(device::Handle handle, std::uint8_t code, std::uint8_t operation, std::uint16_t length,
                          std::uint8_t *buffer)
{
    if (operation == kReadBlock) return readBlock(handle, code, length, buffer);
    return writeBlock(handle, code, operation, length, buffer);
}

}  // namespace fpm::vendor
