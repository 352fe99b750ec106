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

const Command kQuerySize{.logPrefix = "QuerySize"};

const Command kInitialize{.logPrefix = nullptr};

const Command kCancel{
    .logPrefix = nullptr,
    .options = {.timeoutSeconds = 10, .holdWhileSet = &state().commandInProgress, .requestsCancelWhileHeld = true},
    .clearsCancel = false,
};

}  // namespace

ResultByte querySize(device::Handle handle, SizeQueryKind kind, std::int32_t *width, std::int32_t *height,
                     std::uint8_t *bytesPerPixelOut)
{
    if (!width || !height) return kFailure;
    alignas(8) std::uint8_t reply[8];
    CommandOutcome outcome = run(kQuerySize, handle, VendorCommandBlock::make(kCmdQuerySize), reply);
    if (!outcome.ok()) return outcome.result;

    ConnectionState &s = state();
    *width = reply[2];
    *height = reply[3];
    const std::int32_t bytesPerPixel = reply[4] == 2 ? 2 : 1;
    switch (kind) {
    case SizeQueryKind::Plain:
        s.bytesPerPixel = bytesPerPixel;
        if (bytesPerPixelOut) *bytesPerPixelOut = static_cast<std::uint8_t>(bytesPerPixel);
        break;
    case SizeQueryKind::Force16:
        s.bytesPerPixel = 2;
        break;
    case SizeQueryKind::WithHandle:
        break;
    case SizeQueryKind::WithHandleDouble:
        s.imageWidth = 2 * reply[2];
        s.imageHeight = 2 * reply[3];
        return kSuccess;
    }
    s.imageWidth = reply[2];
    s.imageHeight = reply[3];
    return kSuccess;
}

ResultByte initializeDevice(device::Handle handle)
{
    alignas(8) std::uint8_t reply[8];
    return run(kInitialize, handle, VendorCommandBlock::make(kCmdInitializeDevice), reply).result;
}

ResultByte getFirmwareVersion(device::Handle handle, std::int32_t offset, std::int32_t length,
                              std::uint8_t *buffer)
{
    // The record is 128 bytes; a range outside it would read past the reply.
    if (!buffer || offset < 0 || length < 0 || offset > kFirmwareRecordSize - length) return kFailure;
    state().cancelRequested.store(0);
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
    alignas(8) std::uint8_t reply[8];
    return run(kCancel, connection::connectedHandle(), VendorCommandBlock::make(kCmdCancel), reply).result;
}

}  // namespace fpm::transport
