#include "transport/protocol_commands.h"

#include <cstring>
#include <memory>

#include "connection/connection_state.h"
#include "connection/module_handle.h"
#include "log/diagnostic_log.h"
#include "platform/system.h"
#include "transport/exchange.h"

namespace fpm::transport {

namespace {

const Command kQuerySize{.logPrefix = "QuerySize", .clearsCancel = true};

const Command kInitialize{.logPrefix = nullptr, .clearsCancel = true};

const Command kCancel{
    .logPrefix = nullptr,
    .options = {.timeoutSeconds = 10, .holdWhileSet = &commandInProgressFlag(), .requestsCancelWhileHeld = true},
};

}  // namespace

ResultByte askSize(device::Handle handle, SizeAnswer &answer)
{
    const CommandOutcome outcome = run(kQuerySize, handle, VendorCommandBlock::make(kCmdQuerySize));
    if (!outcome.ok()) return outcome.result;
    const Reply &reply = outcome.bytes;
    answer = {reply[2], reply[3], reply[4] == 2 ? 2 : 1};
    return kSuccess;
}

ResultByte querySize(device::Handle handle, SizeQueryKind kind, std::int32_t *width, std::int32_t *height,
                     std::uint8_t *bytesPerPixelOut)
{
    if (!width || !height) return kFailure;
    SizeAnswer answer;
    if (const ResultByte asked = askSize(handle, answer); asked != kSuccess) return asked;

    ConnectionState &s = state();
    Geometry g = s.geometry();
    switch (kind) {
    case SizeQueryKind::Plain:
        g = {answer.width, answer.height, answer.bytesPerPixel, 1, true};
        if (bytesPerPixelOut) *bytesPerPixelOut = static_cast<std::uint8_t>(answer.bytesPerPixel);
        break;
    case SizeQueryKind::Force16:
        g = {answer.width, answer.height, 2, 1, false};
        break;
    case SizeQueryKind::WithHandle:
        g = {answer.width, answer.height, g.bytesPerPixel, 1, false};
        break;
    case SizeQueryKind::WithHandleDouble:
        g = {2 * answer.width, 2 * answer.height, g.bytesPerPixel, 2, false};
        break;
    }
    s.setGeometry(g);
    *width = answer.width;
    *height = answer.height;
    return kSuccess;
}

ResultByte initializeDevice(device::Handle handle)
{
    return run(kInitialize, handle, VendorCommandBlock::make(kCmdInitializeDevice)).result;
}

ResultByte getFirmwareVersion(device::Handle handle, std::int32_t offset, std::int32_t length,
                              std::uint8_t *buffer)
{
    // The record is 128 bytes; a range outside it would read past the reply.
    if (!buffer || offset < 0 || length < 0 || offset > kFirmwareRecordSize - length) return kFailure;
    clearCancelRequest();
    constexpr std::uint32_t kReplySize = kFirmwareRecordSize + 1;
    auto reply = std::make_unique<std::uint64_t[]>((kReplySize + 7) / 8);  // zeroed, 8-byte aligned
    auto *bytes = reinterpret_cast<std::uint8_t *>(reply.get());
    if (!transfer(handle, VendorCommandBlock::make(kCmdGetFirmwareVersion, {0x00, 0x80}), Direction::FromModule,
                  bytes, kReplySize, 3)) {
        log::writeFailure("GetFirmwareVersion", "RecvDataTransaction Fail");
        return kFailure;
    }
    std::memcpy(buffer, bytes + 1 + offset, static_cast<std::size_t>(length));
    return kSuccess;
}

ResultByte cancelCommand()
{
    requestCancel();
    return run(kCancel, connection::connectedHandle(), VendorCommandBlock::make(kCmdCancel)).result;
}

}  // namespace fpm::transport
