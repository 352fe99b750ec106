#include "transport/pass_through.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "log/trace.h"
#include "platform/system.h"

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

namespace {

// The transfer itself; `request` holds what the host wrote back.
bool carry(PassThroughRequest &request, device::Handle handle, const std::uint8_t *block16, Direction direction,
           void *buffer, std::uint32_t length, std::uint32_t timeoutSeconds)
{
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

// The sense bytes the host wrote back, or none when it wrote nothing.
std::uint32_t senseLength(const PassThroughRequest &request)
{
    for (std::uint32_t i = 0; i < kSenseInfoLength; ++i) {
        if (request.sense[i]) return kSenseInfoLength;
    }
    return 0;
}

}  // namespace

bool transfer(device::Handle handle, const std::uint8_t *block16, Direction direction, void *buffer,
              std::uint32_t length, std::uint32_t timeoutSeconds)
{
    if (!log::trace::on()) {
        PassThroughRequest request;
        return carry(request, handle, block16, direction, buffer, length, timeoutSeconds);
    }
    PassThroughRequest request{};

    const std::uint64_t startUs = log::trace::clockUs();
    const bool ok = carry(request, handle, block16, direction, buffer, length, timeoutSeconds);
    const std::uint32_t osError = ok ? 0 : sys::lastOsError();
    const std::uint64_t endUs = log::trace::clockUs();
    const bool dataIn = direction == Direction::FromModule;
    // The host writes back the length it carried; a failed transfer carried nothing the
    // library uses.
    const std::uint32_t carried = ok ? std::min<std::uint32_t>(request.sptd.DataTransferLength, length) : 0;
    log::trace::record({block16, dataIn, length, carried, static_cast<const std::uint8_t *>(buffer), ok,
                        request.sptd.ScsiStatus, request.sense, senseLength(request), osError, startUs,
                        endUs - startUs});
    return ok;
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
