#include "image/two_phase_read.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "connection/connection_state.h"
#include "log/diagnostic_log.h"

namespace fpm::image {

namespace {

// Zeroed and 8-byte aligned, as the pass-through data buffers want.
class WorkingBuffer {
public:
    explicit WorkingBuffer(std::int64_t bytes)
        : size_(static_cast<std::size_t>(std::max<std::int64_t>(bytes, 8))),
          words_(std::make_unique<std::uint64_t[]>((size_ + 7) / 8))
    {
    }
    std::uint8_t *data() { return reinterpret_cast<std::uint8_t *>(words_.get()); }
    void zero() { std::memset(data(), 0, size_); }

private:
    std::size_t size_;
    std::unique_ptr<std::uint64_t[]> words_;
};

}  // namespace

std::int64_t currentImageBytes() { return state().geometry().bytes(); }

ReadOutcome readImage(const ImageRead &read, device::Handle handle, std::uint8_t *buffer, std::int64_t byteCount,
                      const FinishStep &finish)
{
    // A host that carries less than the image in one request (USB 2.0 mass storage:
    // 120 KiB) fails the data phase after the module has prepared the image: refuse
    // before anything is sent, and say why in the log.
    if (const std::uint32_t limit = device::transferLimit(handle); limit != 0 && byteCount > limit) {
        log::writeFailure(read.name, "image of " + std::to_string(byteCount) +
                                         " bytes over the host's transfer limit of " + std::to_string(limit) + " bytes");
        return {ReadEnding::RequestFailed, {kFailure, {transport::Ending::TransferFailed, 0}}};
    }
    WorkingBuffer work(byteCount);
    auto block = transport::VendorCommandBlock::make(read.code, {kCmdFlag, read.parameter});
    transport::CommandOutcome request{kSuccess, {transport::Ending::Replied, transport::kStatusOk}};
    if (read.request) request = transport::run(*read.request, handle, block, work.data());
    if (!request.ok()) {
        if (read.phaseLogPrefix && request.reply.ending == transport::Ending::TransferFailed)
            log::writeFailure(read.phaseLogPrefix, "RecvDataTransaction Fail(CMD_FLAG)");
        return {ReadEnding::RequestFailed, request};
    }

    if (read.zeroBeforeData) work.zero();
    block.bytes[2] = kStatusFlag;
    const auto length = static_cast<std::uint32_t>(byteCount);
    const bool received = transport::transfer(handle, block, transport::Direction::FromModule, work.data(), length,
                                              read.dataTimeoutSeconds);
    if (!received && read.phaseLogPrefix) log::writeFailure(read.phaseLogPrefix, "RecvDataTransaction Fail(STATUS_FLAG)");
    if (!received && read.dataLogPrefix) log::writeFailure(read.dataLogPrefix, "RecvDataTransaction Fail");
    if (received && finish && !finish(work.data())) return {ReadEnding::DataFailed, request};
    if (received || read.copyFailedData) std::memcpy(buffer, work.data(), length);
    return {received ? ReadEnding::Delivered : ReadEnding::DataFailed, request};
}

ResultByte readPlain(const ImageRead &read, device::Handle handle, std::uint8_t *buffer)
{
    return readPlain(read, handle, buffer, currentImageBytes());
}

ResultByte readPlain(const ImageRead &read, device::Handle handle, std::uint8_t *buffer, std::int64_t bytes,
                     const FinishStep &finish)
{
    if (!buffer || bytes == 0) return kFailure;
    return readImage(read, handle, buffer, bytes, finish).delivered() ? kSuccess : kFailure;
}

}  // namespace fpm::image
