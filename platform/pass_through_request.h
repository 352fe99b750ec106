// The 16-byte vendor command block and the pass-through record around it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#endif

namespace fpm::transport {

inline constexpr std::uint8_t kVendorOpcode = 0xE0;
inline constexpr std::uint32_t kIoctlScsiPassThroughDirect = 0x4D014;

struct VendorCommandBlock {
    std::array<std::uint8_t, 16> bytes{};

    // Byte 0 is the vendor opcode, byte 1 the command code; `parameters` fill bytes 2 on.
    static VendorCommandBlock make(std::uint8_t code, std::initializer_list<std::uint8_t> parameters = {})
    {
        VendorCommandBlock block;
        block.bytes[0] = kVendorOpcode;
        block.bytes[1] = code;
        std::size_t i = 2;
        for (std::uint8_t p : parameters) {
            if (i < block.bytes.size()) block.bytes[i++] = p;
        }
        return block;
    }
    std::uint8_t code() const { return bytes[1]; }
};

#ifdef _WIN32
// The host's own structure: Windows drivers read exactly this layout.
using ScsiPassThroughDirect = SCSI_PASS_THROUGH_DIRECT;
#else
// The same fields under the same names, so that the portable code and the other
// backends build and read the request the same way.
struct ScsiPassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    void *DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};
#endif

struct PassThroughRequest {
    ScsiPassThroughDirect sptd;
    std::uint32_t filler;
    std::uint8_t sense[32];
};

inline constexpr std::uint8_t kDataOut = 0;
inline constexpr std::uint8_t kDataIn = 1;
inline constexpr std::uint16_t kSptdLength = 44;
inline constexpr std::uint8_t kTargetId = 1;
inline constexpr std::uint8_t kSenseInfoLength = 24;
inline constexpr std::uint32_t kSenseInfoOffset = 48;
inline constexpr std::size_t kRecordSize = 80;

#if defined(_WIN32) && !defined(_WIN64)
// The driver reads these offsets; a header change must not move them silently.
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Length) == 0);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, PathId) == 3);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TargetId) == 4);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Lun) == 5);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);
static_assert(offsetof(PassThroughRequest, filler) == 44);
static_assert(offsetof(PassThroughRequest, sense) == 48);
static_assert(sizeof(PassThroughRequest) == kRecordSize);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kIoctlScsiPassThroughDirect);
#endif

// The record as the 32-bit driver sees it, byte for byte (the buffer address is
// truncated to its low 32 bits on 64-bit hosts). Used to record and compare requests.
std::array<std::uint8_t, kRecordSize> wireBytes(const PassThroughRequest &request);

}  // namespace fpm::transport
