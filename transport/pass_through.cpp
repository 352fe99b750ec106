#include "transport/pass_through.h"

#include <cstring>
#include <memory>
#include <new>

namespace fpm::transport {

void fillRequest(PassThroughRequest &request, const std::uint8_t *block16, Direction direction, void *buffer,
                 std::uint32_t length, std::uint32_t timeoutSeconds)
{
    std::memset(&request, 0, sizeof request);
    ScsiPassThroughDirect &sptd = request.sptd;
    sptd.Length = kSptdLength;
    sptd.TargetId = kTargetId;
    sptd.CdbLength = 16;
    sptd.SenseInfoLength = kSenseInfoLength;
    sptd.DataIn = static_cast<std::uint8_t>(direction);
    sptd.DataTransferLength = length;
    sptd.TimeOutValue = timeoutSeconds;
    sptd.DataBuffer = buffer;
    sptd.SenseInfoOffset = kSenseInfoOffset;
    std::memcpy(sptd.Cdb, block16, 16);
}

bool transfer(device::Handle handle, const std::uint8_t *block16, Direction direction, void *buffer,
              std::uint32_t length, std::uint32_t timeoutSeconds)
{
    PassThroughRequest request;
    // An adapter with an alignment mask refuses a data buffer off its boundary, and a
    // caller's byte array may sit anywhere: such a buffer travels through an aligned copy.
    constexpr std::uintptr_t kAlignment = 8;
    if (buffer && length != 0 && reinterpret_cast<std::uintptr_t>(buffer) % kAlignment != 0) {
        std::unique_ptr<std::uint64_t[]> aligned(new (std::nothrow) std::uint64_t[(std::size_t{length} + 7) / 8]);
        if (!aligned) return false;
        // Copied in both ways: bytes a short data-in phase does not reach keep their value.
        std::memcpy(aligned.get(), buffer, length);
        fillRequest(request, block16, direction, aligned.get(), length, timeoutSeconds);
        const bool ok = device::passThrough(handle, request);
        if (ok && direction == Direction::FromModule) std::memcpy(buffer, aligned.get(), length);
        return ok;
    }
    fillRequest(request, block16, direction, buffer, length, timeoutSeconds);
    return device::passThrough(handle, request);
}

bool transfer(device::Handle handle, const VendorCommandBlock &block, Direction direction, void *buffer,
              std::uint32_t length, std::uint32_t timeoutSeconds)
{
    return transfer(handle, block.bytes.data(), direction, buffer, length, timeoutSeconds);
}

std::array<std::uint8_t, kRecordSize> wireBytes(const PassThroughRequest &request)
{
    // fillRequest zeroed the padding, so the bytes are those the driver reads.
    std::array<std::uint8_t, kRecordSize> out;
    std::memcpy(out.data(), &request, kRecordSize);
    return out;
}

}  // namespace fpm::transport
